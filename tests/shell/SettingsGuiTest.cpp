// The settings tab as a learner uses it and the two command methods that
// share its rules: the real client in the private X session, the downloader
// stand-in storing the proxy, the registry hive files read from outside.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/Version.h"
#include "platform/registry/Registry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kTitle = "Qorvane";
constexpr const char* kProxyKey = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
constexpr const char* kZoneMap =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\";
// Window positions (MainFrame.xml: the page body starts at 113,80 and
// scrolls 60 pixels per wheel notch).
constexpr int kTabX = 181;
constexpr int kTabY = 58;
constexpr int kUseProxyX = 200;
constexpr int kUseProxyY = 130;
constexpr int kFieldX = 303;
constexpr int kAddressY = 162;
constexpr int kPortX = 493;
constexpr int kUserY = 194;
constexpr int kPasswordY = 226;
constexpr int kOkX = 403;
constexpr int kOkY = 259;
constexpr int kWheelStep = 60;
constexpr int kBoxOkX = 170;
constexpr int kBoxOkY = 100;

class SettingsGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        // The stand-in writes the proxy into the same hives the client reads.
        m_env.Set(kRegistryDirOverride, m_dir.file("registry"));
    }
    void TearDown() override {
        X11Session::Screenshot("end");
        if (m_client.Pid() > 0) {
            EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
        }
    }

    void Launch(int downloaderPort) {
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port,
                                {{"QORVANE_DOWNLOADER_PORT", std::to_string(downloaderPort)}},
                                {"-ShowNormal"}))
            << m_client.Output();
        auto window = X11Session::WaitForWindow(kTitle);
        ASSERT_TRUE(window) << m_client.Output();
        m_window = window->id;
    }
    void OpenTab() { ASSERT_TRUE(X11Session::ClickInWindow(m_window, kTabX, kTabY)); }
    void Type(int x, int y, const std::string& text) {
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, x, y));
        ASSERT_TRUE(X11Session::TypeText(m_window, text));
    }
    // Ticks "use a proxy" and fills the form.
    void FillProxy(const std::string& password) {
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, kUseProxyX, kUseProxyY));
        Type(kFieldX, kAddressY, "10.0.0.5");
        Type(kPortX, kAddressY, "3128");
        Type(kFieldX, kUserY, "learner");
        if (!password.empty()) {
            Type(kFieldX, kPasswordY, password);
        }
    }
    // Waits for the message box (a second window titled like the main
    // window) and closes it with its OK button.
    bool CloseBox() {
        for (int waited = 0; waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
            for (const X11Window& window : X11Session::Windows()) {
                if (window.title == kTitle && window.id != m_window) {
                    X11Session::Screenshot("box", window.id);
                    return X11Session::ClickInWindow(window.id, kBoxOkX, kBoxOkY) &&
                           WaitBoxGone(window.id);
                }
            }
            X11Session::Run({"sleep", "0.1"});
        }
        return false;
    }
    bool WaitBoxGone(unsigned long box) {
        for (int waited = 0; waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
            bool present = false;
            for (const X11Window& window : X11Session::Windows()) {
                present = present || window.id == box;
            }
            if (!present) {
                return true;
            }
            X11Session::Run({"sleep", "0.1"});
        }
        return false;
    }
    // What the proxy section's title area shows (no caret, no hover there).
    std::string TitleArea() {
        const std::string shot = X11Session::Screenshot("title", m_window);
        return X11Session::Run(
            {"convert", shot, "-crop", "180x24+130+88", "-format", "%#", "info:"});
    }
    std::string LogText() {
        std::ifstream file(m_dir.file("data/log/QorvaneUI.log"));
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string Command(const std::string& query) {
        return HttpFetch::Get("http://127.0.0.1:" + std::to_string(m_port) +
                              "/COMMANDREQUEST.KIVO?" + query)
            .body;
    }

    TempDir m_dir;
    ScopedEnvironment m_env;
    int m_port = FreeLocalPort();
    ChildProcess m_client;
    unsigned long m_window = 0;
};

TEST_F(SettingsGui, AnEmptyPasswordIsRefusedAndTheProxySectionShown) {
    Launch(FreeLocalPort());
    OpenTab();
    FillProxy("");
    const std::string top = TitleArea();
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kUseProxyX, kUseProxyY + 40, 5));
    ASSERT_NE(TitleArea(), top);
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kOkX, kOkY - kWheelStep));
    ASSERT_TRUE(CloseBox()) << m_client.Output();
    EXPECT_NE(LogText().find("save proxy info: invalid input"), std::string::npos);
    EXPECT_EQ(TitleArea(), top);
}

TEST_F(SettingsGui, WithoutTheDownloaderSavingFails) {
    Launch(FreeLocalPort());
    OpenTab();
    FillProxy("s3cr3t-pw");
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kOkX, kOkY));
    ASSERT_TRUE(CloseBox()) << m_client.Output();
    EXPECT_NE(LogText().find("save proxy info: downloader not reachable"), std::string::npos);
    std::string stored;
    EXPECT_NE(
        Registry(RegistryRoot::LocalMachine).ReadString(kProxyKey, "CustomProxyServer", stored), 0);
}

TEST_F(SettingsGui, TheDownloaderStoresTheProxyAndThePasswordStaysOutOfTheLog) {
    StandinProcess downloader;
    ASSERT_TRUE(
        downloader.Start("QorvaneService", {"-commandline", "--port", "0", "--data",
                                            m_dir.file("downloader"), "--report-channel", "none"}))
        << downloader.Failure();
    Launch(downloader.Port("downloader"));
    OpenTab();
    FillProxy("s3cr3t-pw");
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kOkX, kOkY));
    ASSERT_TRUE(CloseBox()) << m_client.Output();
    Registry machine(RegistryRoot::LocalMachine);
    auto value = [&](const char* name) {
        std::string text;
        machine.ReadString(kProxyKey, name, text);
        return text;
    };
    EXPECT_EQ(value("CustomProxyEnable"), "1");
    EXPECT_EQ(value("CustomProxyServer"), "10.0.0.5:3128");
    EXPECT_EQ(value("CustomProxyUser"), "learner");
    EXPECT_EQ(value("CustomProxyPass"), "s3cr3t-pw");
    EXPECT_EQ(value("CustomProxyAuth"), "Basic");
    EXPECT_EQ(value("CustomProxyOverride"), "<local>");
    const std::string log = LogText();
    EXPECT_NE(log.find("save proxy info: enable=1 server=10.0.0.5:3128"), std::string::npos);
    EXPECT_EQ(log.find("s3cr3t-pw"), std::string::npos);
}

TEST_F(SettingsGui, SetTrustDomainsAndGetWindowsUser) {
    Launch(FreeLocalPort());
    const std::string args =
        HttpFetch::Encode(R"([{"userUid":"u1","domainUrl":[{"url":"exam.school.edu"},{"x":"y"},)"
                          R"({"url":"https://10.2.3.4"}]}])");
    EXPECT_EQ(Command("MethodName=SetTrustDomains&CallbackFunc=cb&RequestArgs=" + args),
              R"(cb([{"errorCode":"0","errorMsg":"ok","isSuccess":"true","version":")" +
                  std::string(kClientVersion) + R"("}]))");
    Registry user(RegistryRoot::CurrentUser);
    uint32_t zone = 0;
    EXPECT_EQ(user.ReadDword(std::string(kZoneMap) + "Domains\\school.edu\\exam", "http", zone), 0);
    EXPECT_EQ(zone, 2u);
    EXPECT_EQ(user.ReadDword(std::string(kZoneMap) + "EscDomains\\school.edu\\exam", "http", zone),
              0);
    std::vector<std::string> ranges;
    user.EnumSubKeys(std::string(kZoneMap) + "Ranges", ranges);
    ASSERT_EQ(ranges.size(), 1u);
    std::string address;
    EXPECT_EQ(user.ReadString(std::string(kZoneMap) + "Ranges\\" + ranges[0], ":Range", address),
              0);
    EXPECT_EQ(address, "10.2.3.4");
    // The list row came through the GUI thread: the tab shows it.
    OpenTab();
    X11Session::Screenshot("trusted");

    EXPECT_EQ(
        Command("MethodName=SetTrustDomains&CallbackFunc=cb&RequestArgs=" +
                HttpFetch::Encode(R"({"domainUrl":[]})")),
        R"(cb([{"errorCode":"-1","errorMsg":"error json formart!","isSuccess":"false","version":")" +
            std::string(kClientVersion) + R"("}]))");

    if (geteuid() != 0) {
        GTEST_SKIP() << "GetWindowsUser's administrator case needs root";
    }
    EXPECT_EQ(Command("MethodName=GetWindowsUser"), "");
}

TEST_F(SettingsGui, GetWindowsUserNamesAStandardUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "starting the client as another user needs root";
    }
    // nobody is in no administrative group: its own name comes back.
    ASSERT_TRUE(StartClientAs("nobody", m_client, m_dir, m_port)) << m_client.Output();
    EXPECT_EQ(Command("MethodName=GetWindowsUser"), "nobody");
}

}  // namespace
