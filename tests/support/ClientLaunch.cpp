#include "tests/support/ClientLaunch.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

void MakeClientFolders(const TempDir& dir) {
    std::filesystem::create_directories(dir.file("home"));
    std::filesystem::create_directories(dir.file("runtime"));
    std::filesystem::permissions(dir.file("runtime"), std::filesystem::perms::owner_all);
}

std::map<std::string, std::string> ClientEnvironment(
    const TempDir& dir, int channelPort, const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> env = {{"QORVANE_CHANNEL_PORT", std::to_string(channelPort)},
                                              {"QORVANE_DATA_PATH", dir.file("data")},
                                              {"QORVANE_REGISTRY_DIR", dir.file("registry")},
                                              {"XDG_RUNTIME_DIR", dir.file("runtime")},
                                              {"HOME", dir.file("home")},
                                              {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"}};
    for (const auto& [name, value] : extra) {
        env[name] = value;
    }
    return env;
}

}  // namespace

bool StartClient(ChildProcess& client, const TempDir& dir, int channelPort,
                 const std::map<std::string, std::string>& extra,
                 const std::vector<std::string>& args, const std::string& programDir) {
    MakeClientFolders(dir);
    std::vector<std::string> argv{(programDir.empty() ? std::string(QORVANE_BIN_DIR) : programDir) +
                                  "/QorvanePlatform"};
    argv.insert(argv.end(), args.begin(), args.end());
    return client.Start(argv, ClientEnvironment(dir, channelPort, extra)) &&
           client.WaitForOutput("program init succ!", kClientStartMs);
}

bool StartClientAs(const std::string& user, ChildProcess& client, const TempDir& dir,
                   int channelPort, const std::map<std::string, std::string>& extra) {
    const passwd* account = getpwnam(user.c_str());
    if (!account) {
        return false;
    }
    const uid_t uid = account->pw_uid;
    const gid_t gid = account->pw_gid;
    MakeClientFolders(dir);
    std::filesystem::create_directories(dir.file("data"));
    std::filesystem::create_directories(dir.file("registry"));
    if (chown(dir.path().c_str(), uid, gid) != 0) {
        return false;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        if (chown(entry.path().c_str(), uid, gid) != 0) {
            return false;
        }
    }
    std::map<std::string, std::string> env = ClientEnvironment(dir, channelPort, extra);
    env["USER"] = user;
    env["LOGNAME"] = user;
    const std::vector<std::string> argv{"/usr/bin/setpriv",
                                        "--reuid=" + std::to_string(uid),
                                        "--regid=" + std::to_string(gid),
                                        "--clear-groups",
                                        "--",
                                        std::string(QORVANE_BIN_DIR) + "/QorvanePlatform"};
    // Its working folder, too: the cookie store lives there.
    return client.Start(argv, env, dir.path().string()) &&
           client.WaitForOutput("program init succ!", kClientStartMs);
}

namespace {

constexpr const char* kContainerNames[] = {"QVOfficeContainer2003", "QVOfficeContainer2007",
                                           "QVOfficeContainer2010"};

// The build's program folder, linked under dir: the client hard-linked (a
// program finds its files beside itself), the rest as links; the container
// names lead to containerDir when that is given, versionSetting.ini is
// written when versionSetting is given.
std::string LinkProgramFolder(const TempDir& dir, const std::string* versionSetting,
                              const std::string& containerDir) {
    namespace fs = std::filesystem;
    const fs::path folder = dir.file("program");
    std::error_code error;
    fs::create_directories(folder, error);
    for (const auto& entry : fs::directory_iterator(QORVANE_BIN_DIR, error)) {
        const fs::path name = entry.path().filename();
        const bool container = std::find(std::begin(kContainerNames), std::end(kContainerNames),
                                         name) != std::end(kContainerNames);
        if ((name == "versionSetting.ini" && versionSetting) ||
            (container && !containerDir.empty())) {
            continue;
        }
        if (name == "QorvanePlatform") {
            fs::create_hard_link(entry.path(), folder / name, error);
        } else {
            fs::create_symlink(entry.path(), folder / name, error);
        }
        if (error) {
            return {};
        }
    }
    if (!containerDir.empty()) {
        for (const char* name : kContainerNames) {
            fs::create_symlink(fs::path(containerDir) / name, folder / name, error);
            if (error) {
                return {};
            }
        }
    }
    if (versionSetting) {
        std::ofstream(folder / "versionSetting.ini") << *versionSetting;
    }
    return folder.string();
}

}  // namespace

std::string ProgramFolderWith(const TempDir& dir, const std::string& versionSetting) {
    return LinkProgramFolder(dir, &versionSetting, "");
}

std::string StandinDir() {
    return std::string(QORVANE_BIN_DIR) + "/" + kStandinDirName;
}

std::string ProgramFolderWithStandinContainer(const TempDir& dir,
                                              const std::string& versionSetting) {
    return LinkProgramFolder(dir, versionSetting.empty() ? nullptr : &versionSetting, StandinDir());
}
