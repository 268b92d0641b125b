// The shipped service against logind's state as logind writes it: seat,
// session and user files under /run/systemd, and session processes in their
// session-<id>.scope cgroups. The test runs in a private mount namespace
// (ctest starts it through unshare), so the tmpfs it lays over /run/systemd
// is seen by it and the service it starts, and by nothing else on the
// machine. It needs root and a writable systemd cgroup hierarchy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/service/ServiceSupport.h"
#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStepLimitMs = 15000;
constexpr const char* kLogindState = "/run/systemd";

// The cgroup hierarchy whose paths name sessions, as sd-login reads it: the
// unified one (at the top, or beside the legacy ones on hybrid machines),
// else the named "systemd" one.
std::string SessionHierarchy() {
    for (const char* root :
         {"/sys/fs/cgroup", "/sys/fs/cgroup/unified", "/sys/fs/cgroup/systemd"}) {
        if (fs::exists(std::string(root) + "/cgroup.procs")) {
            return root;
        }
    }
    return {};
}

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path + ".new") << text;
    fs::rename(path + ".new", path);  // logind replaces its files the same way
}

// One logind session: its state file and a process inside its scope that
// carries the session's environment, as a desktop session's processes do.
class LogindSession {
public:
    LogindSession(const std::string& hierarchy, const std::string& id, const std::string& display)
        : m_scope(hierarchy + "/user.slice/user-" + std::to_string(getuid()) + ".slice/session-" +
                  id + ".scope") {
        WriteFile(std::string(kLogindState) + "/sessions/" + id,
                  "UID=" + std::to_string(getuid()) + "\nUSER=" + CurrentUserName() +
                      "\nACTIVE=1\nSTATE=active\nTYPE=x11\nCLASS=user\nSEAT=seat0\nDISPLAY=" +
                      display + "\n");
        fs::create_directories(m_scope);
        EXPECT_TRUE(m_process.Start({"/bin/sleep", "600"},
                                    {{"DISPLAY", display}, {"XAUTHORITY", "/tmp/auth-" + id}}));
        std::ofstream(m_scope + "/cgroup.procs") << m_process.Pid() << "\n";
    }
    ~LogindSession() {
        m_process.Stop(SIGKILL, kStepLimitMs);
        std::error_code ignored;
        fs::remove(m_scope, ignored);
    }

private:
    std::string m_scope;
    ChildProcess m_process;
};

void SetActiveSession(const std::string& active, const std::string& sessions) {
    WriteFile(std::string(kLogindState) + "/seats/seat0",
              "IS_SEAT0=1\nCAN_MULTI_SESSION=1\nCAN_TTY=1\nCAN_GRAPHICAL=1\nACTIVE=" + active +
                  "\nACTIVE_UID=" + std::to_string(getuid()) + "\nSESSIONS=" + sessions + "\n");
    WriteFile(std::string(kLogindState) + "/users/" + std::to_string(getuid()),
              "NAME=" + CurrentUserName() + "\nSTATE=active\nSESSIONS=" + sessions +
                  "\nSEATS=seat0\n" + "DISPLAY=" + active + "\n");
}

}  // namespace

TEST(LogindSessions, TheServiceFollowsTheActiveSessionOfSeat0) {
    const std::string hierarchy = SessionHierarchy();
    if (geteuid() != 0 || hierarchy.empty() || access(hierarchy.c_str(), W_OK) != 0) {
        GTEST_SKIP() << "needs root and a writable cgroup hierarchy";
    }
    // A tmpfs of our own over logind's state: private to this namespace.
    ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    ASSERT_EQ(mount("tmpfs", kLogindState, "tmpfs", 0, "mode=0755"), 0)
        << "needs a mount namespace";

    LogindSession first(hierarchy, "c7", ":91");
    SetActiveSession("c7", "c7");

    ServiceFolder folder(ServiceFolder::Sessions::kLogind);
    auto environment = folder.Environment();
    environment.erase("QORVANE_SESSION_SCRIPT");
    // The stand-in client learns its port from the environment it inherits.
    environment["QORVANE_CHANNEL_PORT"] = std::to_string(folder.clientPort);
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program(), "-commandline"}, environment, folder.Directory()));

    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kStepLimitMs)) << folder.Log();
    EXPECT_NE(folder.LastLine("start QorvanePlatform")
                  .find("uid=" + std::to_string(getuid()) + " display=:91"),
              std::string::npos)
        << folder.LastLine("start QorvanePlatform");

    // Another session of the seat becomes active: the client moves there.
    LogindSession second(hierarchy, "c8", ":92");
    SetActiveSession("c8", "c7 c8");
    ASSERT_TRUE(folder.WaitFor("exit-request QorvanePlatform", 1, kStepLimitMs)) << folder.Log();
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 2, kStepLimitMs)) << folder.Log();
    EXPECT_NE(folder.LastLine("start QorvanePlatform").find("display=:92"), std::string::npos)
        << folder.LastLine("start QorvanePlatform");
    EXPECT_NE(folder.Log().find("Check ActiveConsoleSessionId Changed last=c7 current=c8"),
              std::string::npos)
        << folder.Log();

    int status = service.Stop(SIGTERM, kStepLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    umount(kLogindState);
}
