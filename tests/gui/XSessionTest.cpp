// The private X session works the way the GUI tests rely on: a program's
// window shows up by title with its process id, a screenshot shows it, keys
// reach it, and its tray icon docks in the tray host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/X11Session.h"

namespace {

constexpr int kExitWaitMs = 10000;
constexpr int kTrayIconSize = 22;

class XSession : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
    }
};

bool IsPng(const std::string& path) {
    return ReadWholeFile(path).compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

}  // namespace

TEST_F(XSession, WindowIsFoundScreenshotAndClosedByKey) {
    // A Chinese title with blanks checks that titles come through whole.
    const std::string title = "夹具 窗口 " + std::to_string(getpid());
    ChildProcess program;
    ASSERT_TRUE(program.Start({QORVANE_FIXTURE_WINDOW, title}));
    ASSERT_TRUE(program.WaitForOutput("shown", X11Session::kWaitMs)) << program.Output();

    std::optional<X11Window> window = X11Session::WaitForWindow(title);
    ASSERT_TRUE(window.has_value()) << "window not managed; output: " << program.Output();
    EXPECT_EQ(window->pid, program.Pid());
    EXPECT_TRUE(X11Session::IsViewable(window->id));
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    EXPECT_GE(width, 300);
    EXPECT_GE(height, 100);

    const std::string screen = X11Session::Screenshot("screen");
    ASSERT_FALSE(screen.empty());
    EXPECT_TRUE(IsPng(screen));
    const std::string only = X11Session::Screenshot("window", window->id);
    ASSERT_FALSE(only.empty());
    EXPECT_TRUE(IsPng(only));

    // A click inside does not close it; Escape does.
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, width / 2, height / 2));
    EXPECT_TRUE(program.Running());
    ASSERT_TRUE(X11Session::SendKeys(window->id, {"Escape"}));
    EXPECT_TRUE(X11Session::WaitForWindowGone(title));
    EXPECT_EQ(program.Wait(kExitWaitMs), 0);
}

TEST_F(XSession, TrayIconDocksInTheTrayHost) {
    const std::string icon = X11Session::OutputFolder() + "/icon.png";
    int status = -1;
    X11Session::Run(
        {"convert", "-size", std::to_string(kTrayIconSize) + "x" + std::to_string(kTrayIconSize),
         "xc:#d9432f", icon},
        &status);
    ASSERT_EQ(status, 0);

    const std::string title = "tray fixture " + std::to_string(getpid());
    ChildProcess program;
    ASSERT_TRUE(program.Start({QORVANE_FIXTURE_WINDOW, title, "--tray", icon}));
    ASSERT_TRUE(program.WaitForOutput("shown", X11Session::kWaitMs)) << program.Output();
    EXPECT_NE(program.Output().find("tray available: 1"), std::string::npos) << program.Output();
    EXPECT_TRUE(X11Session::WaitForTrayIcon(program.Pid(), true)) << "icon never docked";
    X11Session::Screenshot("tray");

    std::optional<X11Window> window = X11Session::WaitForWindow(title);
    ASSERT_TRUE(window.has_value());
    // The window manager's close asks politely; the program then ends.
    ASSERT_TRUE(X11Session::Close(window->id));
    EXPECT_TRUE(X11Session::WaitForWindowGone(title));
    EXPECT_EQ(program.Wait(kExitWaitMs), 0);
    EXPECT_TRUE(X11Session::WaitForTrayIcon(program.Pid(), false));
}
