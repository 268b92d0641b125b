// QorvanePlatform: the desktop client. At this stage it runs the local command
// channel and its log until SIGINT or SIGTERM.

#include <signal.h>

#include <cstdlib>
#include <string>

#include "channel/ChannelServer.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "platform/paths/DataPaths.h"

namespace {

// Tests run the client on a port of their own so that they never meet a
// client the developer is running.
constexpr const char* kPortOverride = "QORVANE_CHANNEL_PORT";

int ChannelPort() {
    const char* text = std::getenv(kPortOverride);
    int port = text ? std::atoi(text) : 0;
    return (port > 0 && port < 65536) ? port : CChannelSever::kPort;
}

}  // namespace

int main(int argc, char** argv) {
    // Signals are taken by sigwait below; block them before any thread starts
    // so that no other thread is picked to handle them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::string dataPath = ChooseDataPath();
    if (!dataPath.empty()) {
        std::string logDir = dataPath + "/log";
        MakeDirectoryTree(logDir);
        ClientLog::Instance().Open((logDir + "/QorvaneUI.log").c_str());
    }
    LOG_INFO("QorvanePlatform starting, data path \"%s\"", dataPath.c_str());

    CChannelSever& channel = CChannelSever::Instance();
    if (channel.StartChannel(CChannelSever::kListenAddress, ChannelPort()) != 0) {
        LOG_ERROR("start channel sever fail");
        return 4;
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    LOG_INFO("QorvanePlatform stopping on signal %d", received);
    channel.Shutdown();
    return 0;
}
