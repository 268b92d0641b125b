// The service program's command line, its unit install and its reports to
// systemd, run as a real process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>
#include <fstream>

#include "tests/service/ServiceSupport.h"
#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRunLimitMs = 20000;
constexpr const char* kUsage =
    "Program Arguments:\r\n"
    "\t-commandline\t:\tLaunched direct from the command-line.\r\n"
    "\t-install\t:\tInstall service.\r\n"
    "\t-uninstall\t:\tUninstall service.\r\n\t-help     \t:\tCommand help.\r\n";

struct ServiceRun {
    int status = -1;
    std::string output;
};

ServiceRun RunService(const ServiceFolder& folder, const std::vector<std::string>& args,
               std::map<std::string, std::string> env = {}) {
    std::vector<std::string> argv{folder.Program()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto merged = folder.Environment();
    for (const auto& [key, value] : env) {
        merged[key] = value;
    }
    ChildProcess child;
    ServiceRun run;
    if (child.Start(argv, merged)) {
        run.status = child.Wait(kRunLimitMs);
        run.output = child.Output();
    }
    return run;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(ServiceCommandLine, HelpAndAnythingUnknownPrintTheUsageOnly) {
    ServiceFolder folder;
    for (const std::string argument : {"-help", "-Install", "install", "-commandline2", ""}) {
        ServiceRun run = RunService(folder, {argument});
        ASSERT_TRUE(WIFEXITED(run.status)) << argument;
        EXPECT_EQ(WEXITSTATUS(run.status), 0);
        EXPECT_EQ(run.output, kUsage) << argument;
    }
    // None of them started the job.
    EXPECT_EQ(folder.Count("start"), 0);
    EXPECT_NE(folder.Log().find("Init service"), std::string::npos);
    EXPECT_NE(folder.Log().find("End Server"), std::string::npos);
}

TEST(ServiceCommandLine, InstallWritesTheUnitOnceAndUninstallRemovesIt) {
    ServiceFolder folder;
    const std::string units = folder.dir().file("units");
    fs::create_directories(units);
    const std::string calls = folder.dir().file("systemctl-calls");
    const std::string systemctl = folder.dir().file("systemctl");
    std::ofstream(systemctl) << "#!/bin/sh\necho \"$@\" >> '" << calls << "'\n";
    fs::permissions(systemctl, fs::perms::owner_all);
    const std::map<std::string, std::string> env{{"QORVANE_UNIT_DIR", units},
                                                 {"QORVANE_SYSTEMCTL", systemctl}};
    const std::string unit = units + "/Qorvane.service";

    ServiceRun install = RunService(folder, {"-install"}, env);
    EXPECT_EQ(install.output, "");
    const std::string text = ReadFile(unit);
    EXPECT_NE(text.find("Type=notify\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ExecStart=" + folder.Program() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("WorkingDirectory=" + folder.Directory() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Restart=on-failure\n"), std::string::npos) << text;
    EXPECT_NE(text.find("WantedBy=multi-user.target\n"), std::string::npos) << text;
    EXPECT_EQ(ReadFile(calls), "daemon-reload\nenable Qorvane.service\nstart Qorvane.service\n");

    // An installed unit is left exactly as it is, and systemd is not asked.
    std::ofstream(unit, std::ios::app) << "# edited by the administrator\n";
    const std::string edited = ReadFile(unit);
    RunService(folder, {"-install"}, env);
    EXPECT_EQ(ReadFile(unit), edited);
    EXPECT_EQ(ReadFile(calls), "daemon-reload\nenable Qorvane.service\nstart Qorvane.service\n");

    fs::remove(calls);
    RunService(folder, {"-uninstall"}, env);
    EXPECT_FALSE(fs::exists(unit));
    EXPECT_EQ(ReadFile(calls), "stop --no-block Qorvane.service\ndisable Qorvane.service\ndaemon-reload\n");

    fs::remove(calls);
    ServiceRun again = RunService(folder, {"-uninstall"}, env);
    ASSERT_TRUE(WIFEXITED(again.status));
    EXPECT_EQ(WEXITSTATUS(again.status), 0);
    EXPECT_FALSE(fs::exists(calls));
}

TEST(ServiceCommandLine, UnderSystemdTheStatesAreReportedThroughTheNotifySocket) {
    ServiceFolder folder;
    const std::string socketPath = folder.dir().file("notify");
    int listener = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    timeval limit{10, 0};
    setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    auto receive = [&] {
        char buffer[4096];
        ssize_t got = recv(listener, buffer, sizeof(buffer), 0);
        return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
    };

    auto env = folder.Environment();
    env["NOTIFY_SOCKET"] = socketPath;
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program()}, env));
    EXPECT_EQ(receive().rfind("STATUS=Starting (1)\nEXTEND_TIMEOUT_USEC=5000000", 0), 0u);
    EXPECT_EQ(receive(), "READY=1\nSTATUS=Running");
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kRunLimitMs));

    int status = service.Stop(SIGTERM, kRunLimitMs);
    EXPECT_EQ(receive().rfind("STOPPING=1\nSTATUS=Stopping", 0), 0u);
    // The stop request and the stop sequence each report a pending stop.
    EXPECT_EQ(receive().rfind("STOPPING=1\nSTATUS=Stopping", 0), 0u);
    EXPECT_EQ(receive(), "STATUS=Stopped");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Not a console: none of the console texts.
    EXPECT_EQ(service.Output().find("Launched from the command-line"), std::string::npos);
    close(listener);
}

TEST(ServiceCommandLine, TheServiceWritesItsCrashDumpBesideItself) {
    ServiceFolder folder;
    ChildProcess service;
    ASSERT_TRUE(service.Start({folder.Program(), "-commandline"}, folder.Environment()));
    ASSERT_TRUE(folder.WaitFor("start QorvanePlatform", 1, kRunLimitMs));
    ASSERT_EQ(kill(service.Pid(), SIGSEGV), 0);
    int status = service.Wait(kRunLimitMs);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), SIGSEGV);
    EXPECT_EQ(ReadFile(folder.dir().file("Exception.dmp")).substr(0, 4), "MDMP");
    // The programs it started are not its crash's victims.
    const int client = folder.LastPid("start QorvanePlatform");
    EXPECT_TRUE(ProcessAlive(client));
    kill(client, SIGKILL);
    kill(folder.LastPid("start QorvaneService"), SIGKILL);
}
