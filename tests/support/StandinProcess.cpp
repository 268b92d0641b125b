#include "tests/support/StandinProcess.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

StandinProcess::~StandinProcess() {
    if (m_child) {
        Terminate();
    }
}

bool StandinProcess::Start(const std::string& program, const std::vector<std::string>& args) {
    if (m_child) {
        Terminate();
    }
    m_ports.clear();
    m_failure.clear();
    m_exitCode = -2;
    std::vector<std::string> argv = {program.find('/') == std::string::npos
                                         ? std::string(QORVANE_BIN_DIR) + "/" + program
                                         : program};
    argv.insert(argv.end(), args.begin(), args.end());
    m_child = std::make_unique<ChildProcess>();
    if (!m_child->Start(argv)) {
        m_failure = "cannot start " + argv[0];
        m_child.reset();
        return false;
    }
    if (!m_child->WaitForOutput("\nready\n", kReadyTimeoutMs) &&
        m_child->Output().rfind("ready\n", 0) != 0) {
        m_failure = argv[0] + " did not become ready; it printed:\n" + m_child->Output();
        return false;
    }
    std::istringstream lines(m_child->Output());
    std::string line;
    while (std::getline(lines, line) && line != "ready") {
        size_t blank = line.find(' ');
        size_t colon = line.rfind(':');
        if (blank == std::string::npos || colon == std::string::npos ||
            line.compare(blank + 1, 7, "http://") != 0) {
            continue;  // a diagnostic on standard error
        }
        std::string role = line.substr(0, blank);
        std::string unique = role;
        for (int n = 2; m_ports.count(unique) > 0; ++n) {
            unique = role + "#" + std::to_string(n);
        }
        m_ports[unique] = std::atoi(line.c_str() + colon + 1);
    }
    return true;
}

int StandinProcess::Port(const std::string& role) const {
    auto it = m_ports.find(role);
    return it == m_ports.end() ? -1 : it->second;
}

std::string StandinProcess::Url(const std::string& role) const {
    return "http://127.0.0.1:" + std::to_string(Port(role));
}

int StandinProcess::ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int StandinProcess::WaitForExit(int timeoutMs) {
    if (!m_child) {
        return m_exitCode;
    }
    int status = m_child->Wait(timeoutMs);
    if (status == -1) {
        return -2;
    }
    m_exitCode = ExitCode(status);
    m_child.reset();
    return m_exitCode;
}

int StandinProcess::Terminate(int timeoutMs) {
    if (!m_child) {
        return m_exitCode;
    }
    int status = m_child->Stop(SIGTERM, timeoutMs);
    m_exitCode = status == -1 ? -1 : ExitCode(status);
    m_child.reset();
    return m_exitCode;
}
