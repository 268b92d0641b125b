#pragma once

#include <memory>
#include <string>

#include "platform/session/SessionProvider.h"

// Reads the sessions from a text file on every call, so a test can change
// them while the service runs. Lines: "active <id> <user>", "other <id>
// <user>", and "KEY=value" for the environment of every session.
std::unique_ptr<SessionProvider> CreateScriptedSessionProvider(const std::string& path);
