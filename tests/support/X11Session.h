#pragma once

#include <optional>
#include <string>
#include <vector>

// The GUI tests' view of the private X session (Xvfb + openbox + trayer) that
// the ctest fixture "xsession" starts: find windows the way a user sees them,
// click, type, take screenshots and look into the tray. Everything goes
// through the stock X tools (wmctrl, xdotool, xwininfo, xprop, import), so
// the tests check what the X server really shows, not what our code thinks.
struct X11Window {
    unsigned long id = 0;
    int pid = 0;  // _NET_WM_PID; 0 when the window does not say
    std::string title;
};

struct X11TrayIcon {
    unsigned long id = 0;
    int pid = 0;
    std::string name;       // the icon window's name
    std::string className;  // its WM_CLASS class
};

class X11Session {
public:
    // Patient limits: an X server on a loaded CI machine can be slow.
    static constexpr int kWaitMs = 20000;
    static constexpr int kPollMs = 100;
    // One run of an X tool; a tool still running then is killed.
    static constexpr int kToolTimeoutMs = 15000;

    // Reads the session's display (":N") from the fixture's state folder
    // ($QORVANE_XSESSION_DIR, else the build tree's xsession/) and puts it
    // into DISPLAY so that programs started afterwards use it. false with a
    // reason when there is no running session.
    static bool Attach(std::string* error = nullptr);
    static std::string Display();

    // Managed top-level windows in stacking order of the window manager.
    static std::vector<X11Window> Windows();
    // The first window whose title is exactly `title`.
    static std::optional<X11Window> FindWindow(const std::string& title);
    static std::optional<X11Window> WaitForWindow(const std::string& title,
                                                  int timeoutMs = kWaitMs);
    static bool WaitForWindowGone(const std::string& title, int timeoutMs = kWaitMs);
    // Windows of a process, managed or not (menus and popups included).
    static std::vector<unsigned long> WindowsOfPid(int pid);
    // A shown window of the process with exactly that size (a message box).
    static std::optional<unsigned long> WaitForWindowOfPid(int pid, int width, int height,
                                                           int timeoutMs = kWaitMs);

    // Position and size of a window's client area on the screen.
    static bool Geometry(unsigned long window, int& x, int& y, int& width, int& height);
    // Mapped and not hidden (xwininfo "IsViewable").
    static bool IsViewable(unsigned long window);
    static std::string ActiveWindowTitle();
    // Titles of the managed windows bottom to top, as the window manager
    // stacks them (_NET_CLIENT_LIST_STACKING).
    static std::vector<std::string> StackedTitles();
    // upper is stacked above lower (both shown), within timeoutMs.
    static bool WaitStackedAbove(const std::string& upper, const std::string& lower,
                                 int timeoutMs = kWaitMs);

    static bool Activate(unsigned long window);
    // Absolute screen position, or relative to a window's client area.
    static bool ClickAt(int x, int y, int button = 1);
    static bool ClickInWindow(unsigned long window, int x, int y, int button = 1);
    // Activates the window, then sends the keys through XTEST, as typed:
    // xdotool key names ("Escape", "Return", "ctrl+w").
    static bool SendKeys(unsigned long window, const std::vector<std::string>& keys);
    static bool TypeText(unsigned long window, const std::string& text);
    // Asks the window to close the way the title bar's close button does.
    static bool Close(unsigned long window);

    // The whole screen (or one window) into <output folder>/<name>.png;
    // returns the file's path, empty on failure. The output folder is
    // $QORVANE_TEST_OUTPUT or <build>/test-output, plus the current test's name.
    static std::string Screenshot(const std::string& name, unsigned long window = 0);
    static std::string OutputFolder();

    // The icons docked in the tray host.
    static std::vector<X11TrayIcon> TrayIcons();
    static bool TrayIconDockedForPid(int pid);
    // Polls TrayIconDockedForPid until it answers `docked`.
    static bool WaitForTrayIcon(int pid, bool docked, int timeoutMs = kWaitMs);

    // Runs a program (no shell) and gives its standard output; *status gets
    // its exit status (-1 when it could not run or was killed after
    // kToolTimeoutMs).
    static std::string Run(const std::vector<std::string>& argv, int* status = nullptr);
};
