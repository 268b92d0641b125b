#include "platform/process/Processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

extern char** environ;

namespace {

// How long a killed process may take to end before the caller goes on.
constexpr int kKilledEndWaitMs = 5000;

int OpenPidfd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

}  // namespace

ChildHandle::~ChildHandle() {
    Close();
}

ChildHandle::ChildHandle(ChildHandle&& other) noexcept {
    *this = std::move(other);
}

ChildHandle& ChildHandle::operator=(ChildHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidfd = std::exchange(other.m_pidfd, -1);
        m_status = other.m_status;
        m_reaped = other.m_reaped;
    }
    return *this;
}

namespace {

// What the child needs, prepared before fork: between fork and exec only
// async-signal-safe calls are allowed.
struct ChildPlan {
    std::vector<char*> args;
    std::vector<char*> envp;
    char* const* environment = nullptr;
    bool changeUser = false;
};

ChildPlan PlanChild(const SpawnOptions& options) {
    ChildPlan plan;
    for (const auto& a : options.argv) {
        plan.args.push_back(const_cast<char*>(a.c_str()));
    }
    plan.args.push_back(nullptr);
    for (const auto& e : options.environment) {
        plan.envp.push_back(const_cast<char*>(e.c_str()));
    }
    plan.envp.push_back(nullptr);
    plan.environment = options.replaceEnvironment ? plan.envp.data() : environ;
    plan.changeUser =
        options.user.set && (options.user.uid != geteuid() || options.user.gid != getegid());
    return plan;
}

// In the child: reports errno through the error pipe and ends.
[[noreturn]] void FailChild(int errorPipe, int code) {
    int error = errno;
    [[maybe_unused]] ssize_t wrote = write(errorPipe, &error, sizeof(error));
    _exit(code);
}

// In the child, after fork: default signal handling, the requested session,
// streams, identity and folder, then the program. Never returns.
[[noreturn]] void RunChild(const SpawnOptions& options, const ChildPlan& plan, int errorPipe) {
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s) {
        if (s != SIGKILL && s != SIGSTOP) {
            sigaction(s, &byDefault, nullptr);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    if (options.newSession) {
        setsid();
    }
    if (options.endWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    }
    if (options.nullStdio) {
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            if (null > 2) {
                close(null);
            }
        }
    }
    if (plan.changeUser &&
        (setgroups(options.user.groups.size(), options.user.groups.data()) != 0 ||
         setgid(options.user.gid) != 0 || setuid(options.user.uid) != 0)) {
        FailChild(errorPipe, 126);
    }
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
        FailChild(errorPipe, 126);
    }
    execve(plan.args[0], plan.args.data(), plan.environment);
    FailChild(errorPipe, 127);
}

// In the parent: the errno the child reported before it could run the
// program, or 0 once exec closed the pipe.
int ReadChildError(int errorPipe) {
    int error = 0;
    for (;;) {
        ssize_t got = read(errorPipe, &error, sizeof(error));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got == static_cast<ssize_t>(sizeof(error)) ? error : 0;
    }
}

}  // namespace

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> out;
    for (char** entry = environ; entry && *entry; ++entry) {
        out.emplace_back(*entry);
    }
    return out;
}

ChildHandle ChildHandle::Spawn(const SpawnOptions& options, int* error) {
    ChildHandle handle;
    int ignored = 0;
    int& failure = error ? *error : ignored;
    failure = 0;
    if (options.argv.empty()) {
        failure = EINVAL;
        return handle;
    }
    const ChildPlan plan = PlanChild(options);
    // Closed by a successful exec; a failing child writes its errno first.
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        failure = errno;
        return handle;
    }
    sigset_t all;
    sigfillset(&all);
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pid_t pid = fork();
    if (pid == 0) {
        close(errorPipe[0]);
        RunChild(options, plan, errorPipe[1]);
    }
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close(errorPipe[1]);
    if (pid < 0) {
        close(errorPipe[0]);
        failure = forkError;
        return handle;
    }
    failure = ReadChildError(errorPipe[0]);
    close(errorPipe[0]);
    handle.m_pid = pid;
    handle.m_pidfd = OpenPidfd(pid);
    if (failure != 0) {
        // The program never ran: collect the child and report no process.
        handle.Wait(-1);
        return ChildHandle();
    }
    return handle;
}

bool ChildHandle::Wait(int timeoutMs, int wakeFd) {
    if (m_pid <= 0 || m_reaped) {
        return m_reaped;
    }
    if (m_pidfd >= 0) {
        pollfd entries[2] = {{m_pidfd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int ready;
        do {
            ready = poll(entries, wakeFd >= 0 ? 2 : 1, timeoutMs < 0 ? -1 : timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0 || !(entries[0].revents & POLLIN)) {
            return false;
        }
        int status = 0;
        if (waitpid(m_pid, &status, 0) == m_pid) {
            m_status = status;
        }
        m_reaped = true;
        return true;
    }
    // Without process descriptors (very old kernels) only an unlimited wait
    // can be done without polling.
    if (timeoutMs >= 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
            m_reaped = true;
        }
        return m_reaped;
    }
    int status = 0;
    if (waitpid(m_pid, &status, 0) == m_pid) {
        m_status = status;
    }
    m_reaped = true;
    return true;
}

void ChildHandle::Terminate() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        Wait(-1);
    }
}

void ChildHandle::Close() {
    if (m_pid > 0 && !m_reaped) {
        // Reap it now if it has ended; a still-running process is left alone.
        int status = 0;
        waitpid(m_pid, &status, WNOHANG);
    }
    if (m_pidfd >= 0) {
        close(m_pidfd);
    }
    m_pid = -1;
    m_pidfd = -1;
    m_reaped = false;
}

int RunProgram(const std::vector<std::string>& argv, int timeoutMs) {
    SpawnOptions options;
    options.argv = argv;
    if (!argv.empty() && argv[0].find('/') == std::string::npos) {
        // Resolve a bare name along PATH, as a shell would.
        const char* path = std::getenv("PATH");
        std::string paths = path ? path : "/usr/sbin:/usr/bin:/sbin:/bin";
        size_t start = 0;
        while (start <= paths.size()) {
            size_t end = paths.find(':', start);
            std::string candidate =
                paths.substr(start, end == std::string::npos ? end : end - start) + "/" + argv[0];
            if (access(candidate.c_str(), X_OK) == 0) {
                options.argv[0] = candidate;
                break;
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
    ChildHandle child = ChildHandle::Spawn(options);
    if (!child.Valid()) {
        return -1;
    }
    if (!child.Wait(timeoutMs)) {
        child.Terminate();
        return -1;
    }
    return child.ExitCode();
}

int ChildHandle::ExitCode() const {
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

std::string ProcessExecutablePath(pid_t pid) {
    char link[64];
    snprintf(link, sizeof(link), "/proc/%d/exe", static_cast<int>(pid));
    char target[PATH_MAX];
    ssize_t length = readlink(link, target, sizeof(target) - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(target, static_cast<size_t>(length));
    // A program replaced on disk while it runs (an update) is still itself.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

std::string ProcessExecutableName(pid_t pid) {
    std::string path = ProcessExecutablePath(pid);
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int TerminateProcessesByPath(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return 0;
    }
    DIR* proc = opendir("/proc");
    if (!proc) {
        return 0;
    }
    const pid_t self = getpid();
    int killed = 0;
    std::vector<int> dying;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self) {
            continue;
        }
        const std::string path = ProcessExecutablePath(static_cast<pid_t>(pid));
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            continue;
        }
        // Through a process descriptor: the kill reaches this very process
        // even if its id is reused meanwhile, and its end can be waited for.
        int pidfd = OpenPidfd(static_cast<pid_t>(pid));
        bool sent = pidfd >= 0 ? syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0
                               : kill(static_cast<pid_t>(pid), SIGKILL) == 0;
        if (sent) {
            dying.push_back(pidfd);
        } else if (pidfd >= 0) {
            close(pidfd);
        }
        if (sent && ++killed == static_cast<int>(paths.size())) {
            break;
        }
    }
    closedir(proc);
    // A killed process takes a moment to end; the caller goes on only when
    // it is gone (an ended process's descriptor reads as ready).
    for (int pidfd : dying) {
        if (pidfd >= 0) {
            pollfd entry{pidfd, POLLIN, 0};
            while (poll(&entry, 1, kKilledEndWaitMs) < 0 && errno == EINTR) {
            }
            close(pidfd);
        }
    }
    return killed;
}

std::vector<pid_t> ProcessesNamed(const std::string& name) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (!proc || name.empty()) {
        if (proc) {
            closedir(proc);
        }
        return found;
    }
    const pid_t self = getpid();
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self) {
            continue;
        }
        const std::string file = ProcessExecutableName(static_cast<pid_t>(pid));
        if (file.size() == name.size() && strcasecmp(file.c_str(), name.c_str()) == 0) {
            found.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    return found;
}

bool KillProcess(pid_t pid) {
    if (pid <= 0 || pid == getpid()) {
        return false;
    }
    int pidfd = OpenPidfd(pid);
    if (pidfd < 0) {
        return kill(pid, SIGKILL) == 0;
    }
    bool sent = syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
    close(pidfd);
    return sent;
}
