#pragma once

#include <string>

// "file://" + the absolute path with each of its names percent-encoded, as
// LibreOffice takes documents and profiles (a learner's home may hold spaces
// or Chinese names).
std::string FileUrlOf(const std::string& absolutePath);
