#pragma once

#include <httplib.h>

#include <string>

// A query or form parameter by name, compared without regard to case; empty
// when absent. The exact spelling wins when both occur.
std::string ParamOf(const httplib::Request& request, const std::string& name);
// Decodes %XX escapes and "+" once; malformed escapes stay as they are.
std::string PercentDecoded(const std::string& text);
// Data folder of a stand-in: $XDG_DATA_HOME or ~/.local/share, then
// "qorvane-standins/<name>".
std::string DefaultDataDir(const std::string& name);
