#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

// A folder with the service program and the two stand-in programs beside
// it, free ports for them and a scripted session file.
class ServiceFolder {
public:
    // The service as shipped asks logind; by default the tests run the same
    // service with scripted sessions.
    enum class Sessions { kScripted, kLogind };
    explicit ServiceFolder(Sessions sessions = Sessions::kScripted);

    std::string Program() const { return m_dir.file("Qorvane"); }
    std::string Directory() const { return m_dir.path().string(); }
    const TempDir& dir() const { return m_dir; }
    // The environment that points the service and the stand-ins at each other.
    std::map<std::string, std::string> Environment() const;
    void SetSessions(const std::string& script);

    std::vector<std::string> Journal() const;
    // Lines of the journal starting with prefix (e.g. "start QorvanePlatform").
    int Count(const std::string& prefix) const;
    // Waits until Count(prefix) reaches count.
    bool WaitFor(const std::string& prefix, int count, int timeoutMs) const;
    // The last journal line starting with prefix, or "".
    std::string LastLine(const std::string& prefix) const;
    // The pid in the last journal line starting with prefix, or -1.
    int LastPid(const std::string& prefix) const;
    std::string Log() const;

    int clientPort;
    int downloaderPort;

private:
    TempDir m_dir;
};

std::string CurrentUserName();
std::string CurrentUserHome();
bool ProcessAlive(int pid);
