// The service run by hand in a console: it keeps the two programs beside
// it running, follows the session and stops them on Ctrl+C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/service/ServiceSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

constexpr int kStepLimitMs = 15000;

int Occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

TEST(ServiceConsole, KeepsTheClientInTheActiveSessionAndStopsBothOnRequest) {
    ServiceFolder folder;
    ChildProcess service;
    // The programs take over the service's environment, less what systemd
    // set up for the service alone, and its folder.
    auto environment = folder.Environment();
    environment["STANDIN_MARK"] = "inherited";
    environment["LISTEN_FDS"] = "3";
    environment["HOME"] = "/nonexistent-service-home";
    ASSERT_TRUE(service.Start({folder.Program()}, environment, folder.Directory()));
    ASSERT_TRUE(service.WaitForOutput("Program Arguments:", kStepLimitMs));
    EXPECT_EQ(service.Output().rfind("Launched from the command-line because returned error code "
                                     "[ERROR_FAILED_SERVICE_CONTROLLER_CONNECT].\r\nProgram Arguments:\r\n",
                                     0),
              0u);

    // Both programs start; the client with the session's environment, the
    // downloader with its argument.
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kStepLimitMs));
    ASSERT_TRUE(folder.WaitFor("start QorvaneService", 1, kStepLimitMs));
    for (const auto& line : folder.Journal()) {
        EXPECT_NE(line.find(" mark=inherited listen=- "), std::string::npos) << line;
        EXPECT_NE(line.find(" cwd=" + folder.Directory()), std::string::npos) << line;
        if (line.rfind("start QorvanePlatform", 0) == 0) {
            EXPECT_NE(line.find("display=:77 args=0"), std::string::npos) << line;
            // The session user's home, whatever the service's own was.
            EXPECT_NE(line.find(" home=" + CurrentUserHome() + " "), std::string::npos) << line;
        }
        if (line.rfind("start QorvaneService", 0) == 0) {
            EXPECT_NE(line.find("args=1"), std::string::npos) << line;
        }
    }

    // A client that ends by itself comes back.
    const int first = folder.LastPid("start QorvanePlatform");
    ASSERT_EQ(kill(first, SIGKILL), 0);
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 2, kStepLimitMs));
    EXPECT_NE(folder.LastPid("start QorvanePlatform"), first);

    // Another user session becomes active: the client is asked to exit once
    // and is started again.
    folder.SetSessions("active 7 " + CurrentUserName() + "\nDISPLAY=:78\n");
    ASSERT_TRUE(folder.WaitFor("exit-request QorvanePlatform", 1, kStepLimitMs));
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 3, kStepLimitMs));
    const int moved = folder.LastPid("start QorvanePlatform");
    EXPECT_NE(folder.LastLine("start QorvanePlatform").find("display=:78"), std::string::npos);

    // Ctrl+C: both programs are asked to exit and do so by themselves.
    const int downloader = folder.LastPid("start QorvaneService");
    ASSERT_EQ(kill(service.Pid(), SIGINT), 0);
    int status = service.Wait(kStepLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(service.Output().find("CTRL_C_EVENT \n"), std::string::npos);
    EXPECT_TRUE(folder.WaitFor("exit QorvanePlatform", 1, kStepLimitMs));
    EXPECT_TRUE(folder.WaitFor("exit QorvaneService", 1, kStepLimitMs));
    EXPECT_FALSE(ProcessAlive(moved));
    EXPECT_FALSE(ProcessAlive(downloader));
    EXPECT_EQ(folder.Count("exit-request QorvanePlatform"), 2);

    const std::string log = folder.Log();
    EXPECT_EQ(Occurrences(log, "Check ActiveConsoleSessionId Changed last=1 current=7"), 1) << log;
    EXPECT_EQ(Occurrences(log, "Check ActiveConsoleSessionId"), 1) << log;
    EXPECT_NE(log.find("StartSysProc service"), std::string::npos);
    EXPECT_NE(log.find("EndSysProc service"), std::string::npos);
    // Nothing had to be killed: no exit request at the stop failed.
    const size_t stop = log.find("EndSysProc service");
    ASSERT_NE(stop, std::string::npos);
    EXPECT_EQ(log.find("failed", stop), std::string::npos) << log;
}

TEST(ServiceConsole, AProgramThatDoesNotAnswerIsKilledByName) {
    ServiceFolder folder;
    folder.SetSessions("active 1 " + CurrentUserName() + "\nSTANDIN_SILENT=QorvanePlatform\n");
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program(), "-commandline"}, folder.Environment()));
    ASSERT_TRUE(service.WaitForOutput("Launched from the command-line.\r\n", kStepLimitMs));
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kStepLimitMs));
    ASSERT_TRUE(folder.WaitFor("start QorvaneService", 1, kStepLimitMs));
    const int client = folder.LastPid("start QorvanePlatform");
    const int downloader = folder.LastPid("start QorvaneService");

    int status = service.Stop(SIGTERM, kStepLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(service.Output().find("CTRL_C_EVENT"), std::string::npos);
    EXPECT_FALSE(ProcessAlive(client));
    EXPECT_TRUE(folder.WaitFor("exit QorvaneService", 1, kStepLimitMs));
    EXPECT_FALSE(ProcessAlive(downloader));
    EXPECT_EQ(folder.Count("exit QorvanePlatform"), 0);
    const std::string log = folder.Log();
    EXPECT_NE(log.find("NotifyExitProcess, " + std::to_string(folder.clientPort) + " failed"),
              std::string::npos)
        << log;
}

TEST(ServiceConsole, WithoutAnyUserSessionTheClientWaitsAndStartsOnLogon) {
    ServiceFolder folder;
    folder.SetSessions("");
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program(), "-commandline"}, folder.Environment()));
    ASSERT_TRUE(folder.WaitFor("start QorvaneService", 1, kStepLimitMs));
    EXPECT_EQ(folder.Count("start QorvanePlatform"), 0);
    folder.SetSessions("other 3 " + CurrentUserName() + "\nDISPLAY=:79\n");
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kStepLimitMs));
    EXPECT_NE(folder.LastLine("start QorvanePlatform").find("display=:79"), std::string::npos);
    int status = service.Stop(SIGTERM, kStepLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    const std::string log = folder.Log();
    EXPECT_NE(log.find(" WTSEnumerateSessions not found"), std::string::npos) << log;
    EXPECT_NE(log.find("try again WTSGetActiveConsoleSessionId 3"), std::string::npos) << log;
}

TEST(ServiceConsole, AClientThatCannotStartIsLoggedWithItsErrorAndTriedAgain) {
    ServiceFolder folder;
    std::filesystem::remove(folder.Directory() + "/QorvanePlatform");
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program(), "-commandline"}, folder.Environment()));
    ASSERT_TRUE(folder.WaitFor("start QorvaneService", 1, kStepLimitMs));
    // The log writer keeps lines for a moment; the stop brings them out.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStepLimitMs);
    while (Occurrences(folder.Log(), "CreateProcessAsUser Error: 2\n") < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int status = service.Stop(SIGTERM, kStepLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    // ENOENT, and tried again rather than taken for a client that ran.
    EXPECT_GE(Occurrences(folder.Log(), "CreateProcessAsUser Error: 2\n"), 2) << folder.Log();
    EXPECT_EQ(folder.Count("start QorvanePlatform"), 0);
}
