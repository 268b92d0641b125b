#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starting, waiting for and ending other programs.

// Who a new process runs as; the caller's own identity when not set.
struct ProcessUser {
    bool set = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

struct SpawnOptions {
    std::vector<std::string> argv;         // argv[0] is the program path
    std::string workingDirectory;          // empty: the caller's
    bool replaceEnvironment = false;       // true: exactly `environment`
    std::vector<std::string> environment;  // "KEY=value"
    ProcessUser user;
    bool newSession = false;  // detach from the caller's terminal
    bool nullStdio = false;   // standard streams on /dev/null
    // The child is killed when the thread that started it ends (and so
    // when the caller dies, even by SIGKILL): for helpers that must never
    // outlive their parent.
    bool endWithParent = false;
};

// A started process. Waiting uses a process descriptor, so it wakes at the
// moment the process ends.
class ChildHandle {
public:
    ChildHandle() = default;
    ~ChildHandle();
    ChildHandle(ChildHandle&& other) noexcept;
    ChildHandle& operator=(ChildHandle&& other) noexcept;
    ChildHandle(const ChildHandle&) = delete;
    ChildHandle& operator=(const ChildHandle&) = delete;

    // An invalid handle when the program could not be started: fork failed,
    // or the child could not take the identity, the folder or run the
    // program; error (when given) receives the errno of that failure.
    static ChildHandle Spawn(const SpawnOptions& options, int* error = nullptr);

    bool Valid() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // true once the process has ended (and was reaped), false after timeoutMs
    // (negative: no limit) or as soon as wakeFd (when given) is readable.
    bool Wait(int timeoutMs, int wakeFd = -1);
    // The wait status of an ended process.
    int Status() const { return m_status; }
    // Its exit code; -1 when it was ended by a signal.
    int ExitCode() const;
    // Ends the process at once (SIGKILL) and reaps it.
    void Terminate();
    // Forgets the process without waiting (it is still reaped later if ended).
    void Close();

private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_status = 0;
    bool m_reaped = false;
};

// The calling process's environment ("KEY=value" entries).
std::vector<std::string> CurrentEnvironment();

// Runs a program to its end; its exit code, or -1 when it could not start,
// was killed, or ran past timeoutMs (then it is killed).
int RunProgram(const std::vector<std::string>& argv, int timeoutMs);

// The full path and the file name of the executable a process runs ("" when
// unknown).
std::string ProcessExecutablePath(pid_t pid);
std::string ProcessExecutableName(pid_t pid);

// Goes through the running processes in order and kills (SIGKILL) each one
// whose executable is exactly one of paths, stopping after paths.size()
// kills, and returns once the killed processes have ended (each within a few
// seconds). Returns the number killed. Never kills the caller. Matching the
// whole path, not the file name, leaves alone programs of the same name from
// another installation (or another test run).
int TerminateProcessesByPath(const std::vector<std::string>& paths);

// Ids of the running processes whose executable file name equals name,
// ignoring letter case (the caller itself never).
std::vector<pid_t> ProcessesNamed(const std::string& name);

// Ends a process that is not our child at once (SIGKILL); true when the
// signal was delivered.
bool KillProcess(pid_t pid);
