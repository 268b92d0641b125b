#pragma once

#include <string>

// The full path of the running program's executable; empty when the kernel
// cannot tell (it always can on Linux with /proc mounted).
std::string ProgramPath();

// The folder of the running program's executable, with a trailing "/"; empty
// when ProgramPath() is.
std::string ProgramDirectory();
