#pragma once

#include <string>

// The folder of the running program's executable, with a trailing "/"; empty
// when the kernel cannot tell (it always can on Linux with /proc mounted).
std::string ProgramDirectory();
