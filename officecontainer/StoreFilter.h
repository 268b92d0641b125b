#pragma once

#include <string>

// The LibreOffice export filter that writes a document of this type
// ("docx", "xls", ...) in its own format; "" for a type of no Office
// program, which is then stored with the filter it was loaded with.
std::string StoreFilterFor(const std::string& documentType);
