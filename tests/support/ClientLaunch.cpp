#include "tests/support/ClientLaunch.h"

#include <filesystem>

bool StartClient(ChildProcess& client, const TempDir& dir, int channelPort,
                 const std::map<std::string, std::string>& extra,
                 const std::vector<std::string>& args) {
    std::filesystem::create_directories(dir.file("home"));
    std::filesystem::create_directories(dir.file("runtime"));
    std::filesystem::permissions(dir.file("runtime"), std::filesystem::perms::owner_all);
    std::map<std::string, std::string> env = {{"QORVANE_CHANNEL_PORT", std::to_string(channelPort)},
                                              {"QORVANE_DATA_PATH", dir.file("data")},
                                              {"QORVANE_REGISTRY_DIR", dir.file("registry")},
                                              {"XDG_RUNTIME_DIR", dir.file("runtime")},
                                              {"HOME", dir.file("home")},
                                              {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"}};
    for (const auto& [name, value] : extra) {
        env[name] = value;
    }
    std::vector<std::string> argv{std::string(QORVANE_BIN_DIR) + "/QorvanePlatform"};
    argv.insert(argv.end(), args.begin(), args.end());
    return client.Start(argv, env) && client.WaitForOutput("program init succ!", kClientStartMs);
}
