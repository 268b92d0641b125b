#include "apps/ClientStartup.h"

#include "channel/ChannelServer.h"
#include "config/ClientPaths.h"
#include "config/StringTable.h"
#include "exam/answers/AnswerStore.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "foundation/LocalPorts.h"
#include "platform/paths/DataPaths.h"
#include "platform/paths/ProgramDirectory.h"
#include "ui/SkinStore.h"

namespace {

constexpr const char* kSettingsFileName = "ClientArgs.ini";
constexpr const char* kLogFileName = "QorvaneUI.log";

bool g_initialised = false;

std::string ProgramDir() {
    std::string folder = ProgramDirectory();
    return folder.empty() ? "./" : folder;
}

}  // namespace

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
    ClientPaths paths;
    paths.dataPath = dataPath;
    LOG_INFO("Writable data path: %s\n", dataPath.c_str());
    paths.programDir = ProgramDir();
    paths.settingsFile = dataPath + "/" + kSettingsFileName;
    std::string logDir = dataPath + "/log";
    MakeDirectoryTree(logDir);
    paths.logFile = logDir + "/" + kLogFileName;
    ClientLog::Instance().Open(paths.logFile.c_str());
    SetClientPaths(paths);

    // Answers kept from an earlier run go out from now on, and a hand-in that
    // arrives with the first connection finds the store ready.
    AnswerStore::Instance().Start(dataPath);

    if (CChannelSever::Instance().StartChannel(CChannelSever::kListenAddress, ChannelPort()) != 0) {
        LOG_INFO("start channel sever fail");
        return -4;
    }
    g_initialised = true;
    return 0;
}
