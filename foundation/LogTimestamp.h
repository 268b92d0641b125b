#pragma once

#include <string>

// Local time with milliseconds, "2026-12-09 07:42:27.123": the stamp that
// opens every line of both logs.
std::string LogTimestamp();
