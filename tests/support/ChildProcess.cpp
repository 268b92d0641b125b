#include "tests/support/ChildProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && !m_reaped) {
        Stop(SIGKILL, 5000);
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env,
                         const std::string& workingDir) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        size_t eq = text.find('=');
        if (eq != std::string::npos) {
            merged[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [key, value] : env) {
        merged[key] = value;
    }
    std::vector<std::string> envText;
    for (const auto& [key, value] : merged) {
        envText.push_back(key + "=" + value);
    }

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : envText) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_pid = pid;
    m_reaped = false;
    m_reader = std::thread(&ChildProcess::ReadOutput, this, pipeFds[0]);
    return true;
}

void ChildProcess::ReadOutput(int fd) {
    char buffer[4096];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got <= 0) {
            break;
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_output.append(buffer, static_cast<size_t>(got));
        }
        m_changed.notify_all();
    }
    close(fd);
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_output.find(text) != std::string::npos; });
}

std::string ChildProcess::Output() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_output;
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_reaped) {
        return m_status;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_reaped = true;
            m_status = status;
            return status;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        // Test helper only: a child's end has no descriptor to wait on here.
        usleep(10000);
    }
}

bool ChildProcess::Running() {
    return m_pid > 0 && !m_reaped && Wait(0) == -1;
}

int ChildProcess::Stop(int signal, int timeoutMs) {
    if (m_pid <= 0) {
        return -1;
    }
    if (!m_reaped) {
        kill(m_pid, signal);
        if (Wait(timeoutMs) == -1) {
            kill(m_pid, SIGKILL);
            Wait(5000);
            return -1;
        }
    }
    return m_status;
}

int FreeLocalPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        out.append(buffer, n);
    }
    pclose(pipe);
    return out;
}

bool HaveProgram(const std::string& name) {
    return !RunCommand("command -v " + name + " 2>/dev/null").empty();
}
