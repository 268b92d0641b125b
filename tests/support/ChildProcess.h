#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A program started by a test, with its standard output and error collected
// in the background so that a test can wait for a line to appear.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program path. env entries are added to (or replace those
    // of) the test's own environment.
    bool Start(const std::vector<std::string>& argv,
               const std::map<std::string, std::string>& env = {},
               const std::string& workingDir = "");

    // true once text has appeared in the output, false after timeoutMs.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    std::string Output();

    // SIGTERM (or the given signal), then the exit status as waitpid reports
    // it; -1 when the process had to be killed after timeoutMs.
    int Stop(int signal = 15, int timeoutMs = 10000);
    // Waits for the process to end by itself; -1 on time-out.
    int Wait(int timeoutMs);
    bool Running();
    pid_t Pid() const { return m_pid; }

private:
    void ReadOutput(int fd);

    pid_t m_pid = -1;
    int m_status = 0;
    bool m_reaped = false;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_output;
};

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
bool HaveProgram(const std::string& name);

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLocalPort();
