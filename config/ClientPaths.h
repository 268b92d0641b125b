#pragma once

#include <string>

// Where the client keeps things, fixed once during start-up (SetClientPaths)
// and only read afterwards (so no lock is needed).
struct ClientPaths {
    std::string programDir;    // with a trailing "/"
    std::string dataPath;      // without a trailing "/"
    std::string settingsFile;  // dataPath + "/ClientArgs.ini"
    std::string logFile;       // dataPath + "/log/QorvaneUI.log"
};

const ClientPaths& GetClientPaths();
void SetClientPaths(const ClientPaths& paths);
