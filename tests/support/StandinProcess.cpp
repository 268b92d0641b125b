#include "tests/support/StandinProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr size_t kReadChunk = 4096;

int MillisLeft(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

StandinProcess::~StandinProcess() {
    if (m_pid > 0) {
        Terminate();
    }
    if (m_pidFd >= 0) {
        close(m_pidFd);
    }
}

bool StandinProcess::Start(const std::string& program, const std::vector<std::string>& args,
                           const std::string& errorLog) {
    if (m_pid > 0) {
        Terminate();
    }
    if (m_pidFd >= 0) {
        close(m_pidFd);
        m_pidFd = -1;
    }
    m_ports.clear();
    m_failure.clear();
    m_exitStatus = -2;
    std::string path = program.find('/') == std::string::npos
                           ? std::string(QORVANE_BIN_DIR) + "/" + program
                           : program;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        m_failure = "pipe failed";
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(path.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        int err = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err >= 0) {
            dup2(err, STDERR_FILENO);
        }
        // Sockets and files of the test process are not the stand-in's business.
        syscall(SYS_close_range, 3u, ~0u, 0u);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    if (m_pid < 0) {
        close(out[0]);
        m_failure = "fork failed";
        return false;
    }
    m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyTimeoutMs);
    std::string text;
    bool ready = false;
    while (!ready) {
        pollfd wait{out[0], POLLIN, 0};
        if (poll(&wait, 1, MillisLeft(deadline)) <= 0) {
            m_failure = "no readiness announcement from " + path;
            break;
        }
        char chunk[kReadChunk];
        ssize_t got = read(out[0], chunk, sizeof(chunk));
        if (got <= 0) {
            m_failure = path + " ended before it was ready (see " + errorLog + ")";
            break;
        }
        text.append(chunk, static_cast<size_t>(got));
        size_t end;
        while ((end = text.find('\n')) != std::string::npos) {
            std::string line = text.substr(0, end);
            text.erase(0, end + 1);
            if (line == "ready") {
                ready = true;
                break;
            }
            size_t blank = line.find(' ');
            size_t colon = line.rfind(':');
            if (blank == std::string::npos || colon == std::string::npos) {
                continue;
            }
            std::string role = line.substr(0, blank);
            std::string unique = role;
            for (int n = 2; m_ports.count(unique) > 0; ++n) {
                unique = role + "#" + std::to_string(n);
            }
            m_ports[unique] = std::atoi(line.c_str() + colon + 1);
        }
    }
    close(out[0]);
    return ready;
}

int StandinProcess::Port(const std::string& role) const {
    auto it = m_ports.find(role);
    return it == m_ports.end() ? -1 : it->second;
}

std::string StandinProcess::Url(const std::string& role) const {
    return "http://127.0.0.1:" + std::to_string(Port(role));
}

int StandinProcess::WaitForExit(int timeoutMs) {
    if (m_pid <= 0) {
        return m_exitStatus;
    }
    if (m_pidFd >= 0) {
        pollfd wait{m_pidFd, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) <= 0) {
            return -2;
        }
    }
    int status = 0;
    if (waitpid(m_pid, &status, 0) != m_pid) {
        return -2;
    }
    m_pid = -1;
    m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_exitStatus;
}

int StandinProcess::Terminate(int timeoutMs) {
    if (m_pid <= 0) {
        return m_exitStatus;
    }
    kill(m_pid, SIGTERM);
    int status = WaitForExit(timeoutMs);
    if (status == -2) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        m_exitStatus = -1;
    }
    return m_exitStatus;
}
