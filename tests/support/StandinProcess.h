#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

// A stand-in from tools/ running as a child process for one test. Start it
// with "--port 0" style options: it announces the ports it took on standard
// output ("<role> http://127.0.0.1:<port>" lines, then "ready"), which Start()
// waits for, so tests never collide with each other or with a running client.
// Ending the object ends the process (SIGTERM, then SIGKILL).
class StandinProcess {
public:
    static constexpr int kReadyTimeoutMs = 15000;
    static constexpr int kStopTimeoutMs = 5000;

    StandinProcess() = default;
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    // program: a file name in the build's bin folder or a full path. A running
    // process is ended first. False (with Failure() set, including what the
    // process printed) when it did not announce readiness in time.
    bool Start(const std::string& program, const std::vector<std::string>& args);
    const std::string& Failure() const { return m_failure; }

    // The port announced for a role ("downloader", "web", "update", "box", ...);
    // repeated roles get "#2", "#3", ... appended from the second one on.
    int Port(const std::string& role) const;
    std::string Url(const std::string& role) const;
    pid_t Pid() const { return m_child ? m_child->Pid() : -1; }

    // Sends SIGTERM and waits. Returns the exit code, or -1 when the process
    // had to be killed or did not end normally.
    int Terminate(int timeoutMs = kStopTimeoutMs);
    // Waits for the process to end on its own: its exit code, -2 when it is
    // still running, -1 when it did not end normally.
    int WaitForExit(int timeoutMs);

private:
    static int ExitCode(int status);

    std::unique_ptr<ChildProcess> m_child;
    int m_exitCode = -2;
    std::map<std::string, int> m_ports;
    std::string m_failure;
};
