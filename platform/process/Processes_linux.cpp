#include "platform/process/Processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

extern char** environ;

namespace {

int OpenPidfd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

}  // namespace

ChildHandle::~ChildHandle() { Close(); }

ChildHandle::ChildHandle(ChildHandle&& other) noexcept { *this = std::move(other); }

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

ChildHandle ChildHandle::Spawn(const SpawnOptions& options) {
    ChildHandle handle;
    if (options.argv.empty()) {
        return handle;
    }
    // Everything the child needs is prepared before fork: between fork and
    // exec only async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const auto& a : options.argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : options.environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    char* const* environment = options.replaceEnvironment ? envp.data() : environ;
    const bool changeUser = options.user.set && (options.user.uid != geteuid() ||
                                                 options.user.gid != getegid());
    sigset_t all;
    sigfillset(&all);
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, &all, &previous);

    pid_t pid = fork();
    if (pid == 0) {
        // The new program starts with default signal handling and mask.
        struct sigaction byDefault{};
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
        if (changeUser) {
            if (setgroups(options.user.groups.size(), options.user.groups.data()) != 0 ||
                setgid(options.user.gid) != 0 || setuid(options.user.uid) != 0) {
                _exit(126);
            }
        }
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        execve(args[0], args.data(), environment);
        _exit(127);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        return handle;
    }
    handle.m_pid = pid;
    handle.m_pidfd = OpenPidfd(pid);
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
            std::string candidate = paths.substr(start, end == std::string::npos ? end : end - start) +
                                    "/" + argv[0];
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
    const int status = child.Status();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProcessExecutableName(pid_t pid) {
    char link[64];
    snprintf(link, sizeof(link), "/proc/%d/exe", static_cast<int>(pid));
    char target[PATH_MAX];
    ssize_t length = readlink(link, target, sizeof(target) - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(target, static_cast<size_t>(length));
    constexpr const char* kDeleted = " (deleted)";
    if (path.size() > strlen(kDeleted) && path.ends_with(kDeleted)) {
        path.resize(path.size() - strlen(kDeleted));
    }
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int TerminateProcessesByName(const std::vector<std::string>& names) {
    if (names.empty()) {
        return 0;
    }
    DIR* proc = opendir("/proc");
    if (!proc) {
        return 0;
    }
    const pid_t self = getpid();
    int killed = 0;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self) {
            continue;
        }
        const std::string name = ProcessExecutableName(static_cast<pid_t>(pid));
        bool listed = false;
        for (const auto& n : names) {
            listed = listed || n == name;
        }
        if (listed && kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
            if (++killed == static_cast<int>(names.size())) {
                break;
            }
        }
    }
    closedir(proc);
    return killed;
}
