#include "shell/ClientConfig.h"

#include <climits>
#include <cstdlib>

#include "channel/ChannelServer.h"
#include "exam/answers/AnswerHandlers.h"
#include "exam/answers/AnswerStore.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "platform/paths/DataPaths.h"
#include "platform/paths/ProgramDirectory.h"
#include "shell/config/StringTable.h"
#include "ui/SkinStore.h"

namespace {

constexpr const char* kPortOverride = "QORVANE_CHANNEL_PORT";
constexpr const char* kSettingsFileName = "ClientArgs.ini";
constexpr const char* kLogFileName = "QorvaneUI.log";

ClientPaths g_paths;
bool g_initialised = false;

std::string ProgramDir() {
    std::string folder = ProgramDirectory();
    return folder.empty() ? "./" : folder;
}

}  // namespace

const ClientPaths& GetClientPaths() { return g_paths; }

int ChannelPort() {
    const char* text = std::getenv(kPortOverride);
    int port = text ? std::atoi(text) : 0;
    return (port > 0 && port < 65536) ? port : CChannelSever::kPort;
}

int InitClient() {
    if (g_initialised) {
        return 0;
    }
    if (!StringTable::Init([](std::string& bytes) {
            return SkinStore::Instance().Read(StringTable::kFileName, bytes);
        })) {
        LOG_INFO("init language fail");
        return -1;
    }
    std::string dataPath = ChooseDataPath();
    if (dataPath.empty()) {
        LOG_INFO("set data path fail");
        return -2;
    }
    while (dataPath.size() > 1 && dataPath.back() == '/') {
        dataPath.pop_back();
    }
    g_paths.dataPath = dataPath;
    LOG_INFO("Writable data path: %s\n", dataPath.c_str());
    g_paths.programDir = ProgramDir();
    g_paths.settingsFile = dataPath + "/" + kSettingsFileName;
    std::string logDir = dataPath + "/log";
    MakeDirectoryTree(logDir);
    g_paths.logFile = logDir + "/" + kLogFileName;
    ClientLog::Instance().Open(g_paths.logFile.c_str());

    // Answers kept from an earlier run go out from now on, and a hand-in that
    // arrives with the first connection finds the store ready.
    RegisterAnswerHandlers();
    AnswerStore::Instance().Start(dataPath);

    if (CChannelSever::Instance().StartChannel(CChannelSever::kListenAddress, ChannelPort()) != 0) {
        LOG_INFO("start channel sever fail");
        return -4;
    }
    g_initialised = true;
    return 0;
}
