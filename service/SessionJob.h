#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/LocalPorts.h"
#include "platform/process/Processes.h"
#include "platform/session/SessionProvider.h"

// The service's job: keep the client program running in the user session
// of the console seat, moving it when that session changes, keep the course
// downloader running beside the service, and end both on stop.

inline constexpr const char* kClientProgram = "QorvanePlatform";
inline constexpr const char* kDownloaderProgram = "QorvaneService";

// Where the sessions come from: logind unless set (before StartSysProc).
void SetSessionProviderFactory(std::function<std::unique_ptr<SessionProvider>()> factory);

// Starts the two keeper threads; returns 0.
int StartSysProc();
// Asks both programs to exit, kills those that do not answer, ends the
// keepers; returns 0.
int EndSysProc();

// Sends the exit request to the program behind port; 0 when it confirmed
// with status 200, else -1 (logged).
int NotifyExitProcess(int port);

// Starts program in the active session of the console seat as that
// session's user with its environment; an invalid handle on failure.
ChildHandle LaunchAppIntoDifferentSession(const std::string& program);
