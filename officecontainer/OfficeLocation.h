#pragma once

#include <string>

// Where LibreOffice's program folder (soffice.bin, fundamentalrc) is:
// QORVANE_OFFICE_DIR when set (an administrator's own installation), else
// the folder of the "soffice" found on the PATH, else the one Debian's
// packages install. "" when none of them holds LibreOffice.
constexpr const char* kOfficeDirEnvironment = "QORVANE_OFFICE_DIR";
constexpr const char* kDefaultOfficeDir = "/usr/lib/libreoffice/program";
constexpr const char* kOfficeProgram = "soffice.bin";

std::string FindOfficeProgramDir();
