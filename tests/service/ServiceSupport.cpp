#include "tests/service/ServiceSupport.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

ServiceFolder::ServiceFolder(Sessions sessions)
    : clientPort(FreeLocalPort()), downloaderPort(FreeLocalPort()) {
    fs::copy_file(sessions == Sessions::kLogind ? QORVANE_BIN_DIR "/Qorvane"
                                                : QORVANE_BIN_DIR "/scripted-service",
                  Program());
    fs::copy_file(QORVANE_BIN_DIR "/session-program-standin", m_dir.file("QorvanePlatform"));
    fs::copy_file(QORVANE_BIN_DIR "/session-program-standin", m_dir.file("QorvaneService"));
    SetSessions("active 1 " + CurrentUserName() + "\nDISPLAY=:77\n");
}

std::map<std::string, std::string> ServiceFolder::Environment() const {
    return {{"QORVANE_CHANNEL_PORT", std::to_string(clientPort)},
            {"QORVANE_DOWNLOADER_PORT", std::to_string(downloaderPort)},
            {"QORVANE_SESSION_SCRIPT", m_dir.file("sessions")},
            {"NOTIFY_SOCKET", ""}};
}

void ServiceFolder::SetSessions(const std::string& script) {
    // Replaced in one step so that the service never reads half a script.
    // The client gets the session's environment only, so the port it
    // should use travels with the session.
    const std::string partial = m_dir.file("sessions.new");
    std::ofstream(partial) << script << "QORVANE_CHANNEL_PORT=" << clientPort << "\n";
    fs::rename(partial, m_dir.file("sessions"));
}

std::vector<std::string> ServiceFolder::Journal() const {
    std::ifstream in(m_dir.file("journal.txt"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

int ServiceFolder::Count(const std::string& prefix) const {
    int count = 0;
    for (const auto& line : Journal()) {
        count += line.rfind(prefix, 0) == 0;
    }
    return count;
}

bool ServiceFolder::WaitFor(const std::string& prefix, int count, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Count(prefix) < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string ServiceFolder::LastLine(const std::string& prefix) const {
    std::string last;
    for (const auto& line : Journal()) {
        if (line.rfind(prefix, 0) == 0) {
            last = line;
        }
    }
    return last;
}

int ServiceFolder::LastPid(const std::string& prefix) const {
    int pid = -1;
    for (const auto& line : Journal()) {
        if (line.rfind(prefix, 0) == 0) {
            std::istringstream words(line);
            std::string event, name;
            words >> event >> name >> pid;
        }
    }
    return pid;
}

std::string ServiceFolder::Log() const {
    std::ifstream in(m_dir.file("Qorvane_0.log"));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CurrentUserName() {
    passwd* entry = getpwuid(geteuid());
    return entry ? entry->pw_name : "root";
}

std::string CurrentUserHome() {
    passwd* entry = getpwuid(getuid());
    return entry ? entry->pw_dir : "";
}

bool ProcessAlive(int pid) {
    if (pid <= 0 || kill(pid, 0) != 0) {
        return false;
    }
    // A zombie has ended; only its parent has not collected it yet.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}
