#pragma once

#include <string>

// The version line of the about box and the main frame: the client's version,
// three spaces and the build date as "yyyy/mm/dd " ("2.3.1.17   2026/12/10 ").
std::string ClientVersionText();

// A compiler date ("Dec 10 2026", "Dec  1 2026") as "yyyy/mm/dd "; "" when
// it is not one.
std::string BuildDateText(const char* compilerDate);
