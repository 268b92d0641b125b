#pragma once

#include <string>

#include "tests/support/TempDir.h"

// Pages in a real browser: headless Chromium (installed by scripts/deps.sh).
bool HaveChromium();

// Loads the page with a profile under dir, lets its scripts run for a few
// seconds of virtual time and returns the DOM it ended with ("" when the
// browser failed).
std::string LoadInChromium(const TempDir& dir, const std::string& url);
