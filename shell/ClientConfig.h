#pragma once

#include <string>

// Where the client keeps things, fixed once during start-up and only read
// afterwards (so no lock is needed).
struct ClientPaths {
    std::string programDir;    // with a trailing "/"
    std::string dataPath;      // without a trailing "/"
    std::string settingsFile;  // dataPath + "/ClientArgs.ini"
    std::string logFile;       // dataPath + "/log/QorvaneUI.log"
};

const ClientPaths& GetClientPaths();

// The channel's port: 32899, or QORVANE_CHANNEL_PORT for tests that must not
// meet a client someone is running.
int ChannelPort();

// Client initialisation, once per process: 0, -1 no string table, -2 no
// writable data folder, -4 the channel's pool did not start. Later calls
// return 0 without doing anything.
int InitClient();
