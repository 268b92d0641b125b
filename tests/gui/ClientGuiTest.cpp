// The client in the private X session, checked from outside with the X tools:
// what a learner sees of the tray icon, the main window, menus and boxes.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "foundation/Version.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kTitle = "Qorvane";
constexpr int kExitWaitMs = 10000;

class Client {
public:
    explicit Client(const TempDir& dir) : m_dir(dir), m_port(FreeLocalPort()) {}
    bool Start(const std::vector<std::string>& args = {}) { return Launch(m_process, args); }
    // Another start in the same session (same runtime folder and lock).
    bool Launch(ChildProcess& process, const std::vector<std::string>& args) {
        std::vector<std::string> argv{std::string(QORVANE_BIN_DIR) + "/QorvanePlatform"};
        argv.insert(argv.end(), args.begin(), args.end());
        return process.Start(argv, {{"QORVANE_CHANNEL_PORT", std::to_string(m_port)},
                                    {"QORVANE_DATA_PATH", m_dir.file("data")},
                                    {"QORVANE_REGISTRY_DIR", m_dir.file("registry")},
                                    {"XDG_RUNTIME_DIR", m_dir.path().string()}});
    }
    bool WaitStarted() {
        return m_process.WaitForOutput("program init succ!", X11Session::kWaitMs);
    }
    ChildProcess& process() { return m_process; }
    int Port() const { return m_port; }
    std::optional<X11TrayIcon> TrayIcon() {
        for (const X11TrayIcon& icon : X11Session::TrayIcons()) {
            if (icon.pid == m_process.Pid()) {
                return icon;
            }
        }
        return std::nullopt;
    }
    // The popup menus this client has open (their windows carry the layout's name).
    bool MenuOpen(const std::string& name) {
        std::string tree = X11Session::Run({"xwininfo", "-root", "-tree"});
        return tree.find("\"" + name + "\": (\"CMenuWnd\"") != std::string::npos;
    }

private:
    const TempDir& m_dir;
    int m_port;
    ChildProcess m_process;
};

class ClientGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
    }
    void TearDown() override { EXPECT_EQ(client.process().Stop(), 0); }
    bool MainWindowShown() {
        auto window = X11Session::FindWindow(kTitle);
        return window && X11Session::IsViewable(window->id);
    }
    std::string PixelOf(const std::string& png, int x, int y) {
        return X11Session::Run({"convert", png, "-format",
                                "%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]",
                                "info:"});
    }

    TempDir dir;
    Client client{dir};
};

TEST_F(ClientGui, StartsHiddenInTheTrayAndTheIconBringsTheWindowBack) {
    ASSERT_TRUE(client.Start());
    ASSERT_TRUE(client.WaitStarted()) << client.process().Output();
    ASSERT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), true));
    EXPECT_FALSE(MainWindowShown());
    X11Session::Screenshot("tray");

    auto icon = client.TrayIcon();
    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(X11Session::ClickInWindow(icon->id, 5, 5));
    auto window = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->pid, client.process().Pid());
    EXPECT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), false));
    X11Session::Screenshot("restored", window->id);

    // Closing the window does not end the client: back to the tray.
    ASSERT_TRUE(X11Session::Close(window->id));
    EXPECT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), true));
    EXPECT_FALSE(MainWindowShown());
    EXPECT_TRUE(client.process().Running());
}

TEST_F(ClientGui, ExitProcessAnswersFirstThenTheClientAndItsIconGo) {
    ASSERT_TRUE(client.Start());
    ASSERT_TRUE(client.WaitStarted()) << client.process().Output();
    ASSERT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), true));
    // As the session service asks it.
    HttpResult answer = HttpFetch::Get("http://127.0.0.1:" + std::to_string(client.Port()) +
                                       "/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=");
    EXPECT_EQ(answer.body,
              "callback([{\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\","
              "\"version\":\"" +
                  std::string(kClientVersion) + "\"}])");
    EXPECT_EQ(client.process().Wait(X11Session::kWaitMs), 0) << client.process().Output();
    EXPECT_FALSE(X11Session::TrayIconDockedForPid(client.process().Pid()));
    EXPECT_NE(client.process().Output().find("program exit !"), std::string::npos);
}

TEST_F(ClientGui, ShowNormalInAnyCaseShowsTheWindowAndASecondStartEnds) {
    ASSERT_TRUE(client.Start({"-showNORMAL"}));
    auto window = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(window.has_value()) << client.process().Output();
    EXPECT_TRUE(X11Session::IsViewable(window->id));
    X11Session::Screenshot("main-window", window->id);

    // Hide it with the close button (top right of the title bar).
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, width - 22, 18));
    ASSERT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), true));

    // A second start in the same session ends at once and shows the first.
    ChildProcess second;
    ASSERT_TRUE(client.Launch(second, {}));
    EXPECT_EQ(second.Wait(kExitWaitMs), 0);
    auto shown = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->pid, client.process().Pid());
    EXPECT_TRUE(client.process().Running());
}

TEST_F(ClientGui, AboutTabStartsTheWebEngineOnlyWhenShown) {
    ASSERT_TRUE(client.Start({"-ShowNormal"}));
    auto window = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(window.has_value()) << client.process().Output();
    auto engineLoaded = [&] {
        return RunCommand("grep -c qorvane_webengine /proc/" +
                          std::to_string(client.process().Pid()) + "/maps") != "0\n";
    };
    EXPECT_FALSE(engineLoaded());
    // The about tab's button sits at (354..464, 40..76) in the layout.
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, 409, 58));
    bool loaded = false;
    for (int waited = 0; !loaded && waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
        loaded = engineLoaded();
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    EXPECT_TRUE(loaded) << client.process().Output();
    X11Session::Screenshot("about-tab");
}

TEST_F(ClientGui, TrayMenuExitHidesWithoutAnIconAndKeepsRunning) {
    ASSERT_TRUE(client.Start());
    ASSERT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), true));
    auto icon = client.TrayIcon();
    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(X11Session::ClickInWindow(icon->id, 5, 5, 3));
    for (int i = 0; i < 100 && !client.MenuOpen("TrayMenu"); ++i) {
        X11Session::Run({"sleep", "0.1"});
    }
    ASSERT_TRUE(client.MenuOpen("TrayMenu"));
    X11Session::Screenshot("tray-menu");
    // The second item: "退出".
    std::string found = X11Session::Run({"xdotool", "search", "--name", "^TrayMenu$"});
    ASSERT_FALSE(found.empty());
    unsigned long menu = std::stoul(found);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(menu, x, y, width, height));
    ASSERT_TRUE(X11Session::ClickInWindow(menu, width / 2, height * 3 / 4));
    EXPECT_TRUE(X11Session::WaitForTrayIcon(client.process().Pid(), false));
    EXPECT_FALSE(MainWindowShown());
    EXPECT_TRUE(client.process().Running());
}

TEST_F(ClientGui, SkinSwitchReloadsTheWindowInTheOtherColours) {
    ASSERT_TRUE(client.Start({"-ShowNormal"}));
    auto window = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(window.has_value());
    std::string before = X11Session::Screenshot("before", window->id);
    std::string blue = PixelOf(before, 100, 10);

    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, width - 90, 18));  // the menu button
    for (int i = 0; i < 100 && !client.MenuOpen("CustomMenu"); ++i) {
        X11Session::Run({"sleep", "0.1"});
    }
    ASSERT_TRUE(client.MenuOpen("CustomMenu"));
    unsigned long menu =
        std::stoul(X11Session::Run({"xdotool", "search", "--name", "^CustomMenu$"}));
    int mx = 0, my = 0, mw = 0, mh = 0;
    ASSERT_TRUE(X11Session::Geometry(menu, mx, my, mw, mh));
    ASSERT_TRUE(X11Session::ClickInWindow(menu, mw / 2, mh / 4));  // "切换皮肤"

    std::string green;
    for (int i = 0; i < 100; ++i) {
        auto reloaded = X11Session::WaitForWindow(kTitle);
        if (reloaded) {
            std::string after = X11Session::Screenshot("after", reloaded->id);
            green = PixelOf(after, 100, 10);
            if (!green.empty() && green != blue) {
                break;
            }
        }
        X11Session::Run({"sleep", "0.1"});
    }
    EXPECT_FALSE(blue.empty());
    EXPECT_NE(green, blue);
}

class MessageBoxGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
    }
};

TEST_F(MessageBoxGui, CountdownBoxIgnoresEscapeAndAnswersNoWhenTimeRunsOut) {
    ChildProcess probe;
    ASSERT_TRUE(probe.Start(
        {QORVANE_MESSAGE_BOX_PROBE, QORVANE_BIN_DIR, "3", "4", "请在倒计时结束前确认"}));
    auto box = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(box.has_value()) << probe.Output();
    X11Session::Screenshot("countdown", box->id);
    ASSERT_TRUE(X11Session::SendKeys(box->id, {"Escape"}));
    ASSERT_TRUE(X11Session::SendKeys(box->id, {"Return"}));
    EXPECT_TRUE(X11Session::FindWindow(kTitle).has_value());
    EXPECT_TRUE(probe.WaitForOutput("answer false", 15000)) << probe.Output();
    EXPECT_TRUE(X11Session::WaitForWindowGone(kTitle));
    EXPECT_EQ(probe.Wait(kExitWaitMs), 0);
}

TEST_F(MessageBoxGui, YesAnswersTrue) {
    ChildProcess probe;
    ASSERT_TRUE(probe.Start({QORVANE_MESSAGE_BOX_PROBE, QORVANE_BIN_DIR, "1", "0", "确定删除吗?"}));
    auto box = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(box.has_value()) << probe.Output();
    // "是" sits at (85..155, 86..114) in the layout.
    ASSERT_TRUE(X11Session::ClickInWindow(box->id, 120, 100));
    EXPECT_TRUE(probe.WaitForOutput("answer true", 10000)) << probe.Output();
    EXPECT_EQ(probe.Wait(kExitWaitMs), 0);
}

}  // namespace
