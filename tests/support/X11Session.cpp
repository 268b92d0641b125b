#include "tests/support/X11Session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string StateFolder() {
    if (const char* dir = std::getenv("QORVANE_XSESSION_DIR"); dir && *dir) {
        return dir;
    }
    return QORVANE_XSESSION_DIR;
}

std::string Hex(unsigned long id) {
    std::ostringstream out;
    out << "0x" << std::hex << id;
    return out.str();
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool PollUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
}

int WindowPid(unsigned long window) {
    std::string out = X11Session::Run({"xprop", "-id", Hex(window), "_NET_WM_PID"});
    size_t equals = out.find(" = ");
    return equals == std::string::npos ? 0 : std::atoi(out.c_str() + equals + 3);
}

// The quoted texts of a line, in order: "name": ("instance" "Class").
std::vector<std::string> QuotedParts(const std::string& line) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while ((pos = line.find('"', pos)) != std::string::npos) {
        size_t end = line.find('"', pos + 1);
        if (end == std::string::npos) {
            break;
        }
        parts.push_back(line.substr(pos + 1, end - pos - 1));
        pos = end + 1;
    }
    return parts;
}

}  // namespace

std::string X11Session::Run(const std::vector<std::string>& argv, int* status) {
    if (status) {
        *status = -1;
    }
    int out[2];
    if (argv.empty() || pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    if (spawned == 0) {
        // A tool that hangs (a window that never becomes active under
        // --sync) must fail the test, not stall it until ctest's time-out.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kToolTimeoutMs);
        char buffer[4096];
        while (true) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{out[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
                kill(pid, SIGKILL);
                break;
            }
            ssize_t n = read(out[0], buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<size_t>(n));
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        if (status && WIFEXITED(wstatus)) {
            *status = WEXITSTATUS(wstatus);
        }
    }
    close(out[0]);
    return text;
}

std::string X11Session::Display() {
    std::ifstream in(StateFolder() + "/display");
    std::string display;
    std::getline(in, display);
    return Trim(display);
}

bool X11Session::Attach(std::string* error) {
    const std::string display = Display();
    if (display.empty()) {
        if (error) {
            *error = "no private X session: " + StateFolder() +
                     "/display is missing (run the test through ctest, which starts the "
                     "xsession fixture)";
        }
        return false;
    }
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    // A desktop bus of the developer's own session would lead Qt's tray icon
    // there instead of to our tray host.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    int status = -1;
    Run({"xdpyinfo", "-display", display}, &status);
    if (status != 0 && error) {
        *error = "the X session on " + display + " does not answer";
    }
    return status == 0;
}

std::vector<X11Window> X11Session::Windows() {
    std::vector<X11Window> windows;
    std::istringstream lines(Run({"wmctrl", "-l", "-p"}));
    std::string line;
    // "0x0060000e  0 30719  host title with spaces"
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id;
        std::string desktop;
        std::string host;
        X11Window window;
        if (!(fields >> id >> desktop >> window.pid >> host)) {
            continue;
        }
        window.id = std::strtoul(id.c_str(), nullptr, 16);
        std::getline(fields, window.title);
        if (!window.title.empty() && window.title[0] == ' ') {
            window.title.erase(0, 1);
        }
        windows.push_back(window);
    }
    return windows;
}

std::optional<X11Window> X11Session::FindWindow(const std::string& title) {
    for (const X11Window& window : Windows()) {
        if (window.title == title) {
            return window;
        }
    }
    return std::nullopt;
}

std::optional<X11Window> X11Session::WaitForWindow(const std::string& title, int timeoutMs) {
    std::optional<X11Window> found;
    PollUntil([&] { return (found = FindWindow(title)).has_value(); }, timeoutMs);
    return found;
}

bool X11Session::WaitForWindowGone(const std::string& title, int timeoutMs) {
    return PollUntil([&] { return !FindWindow(title).has_value(); }, timeoutMs);
}

std::vector<unsigned long> X11Session::WindowsOfPid(int pid) {
    std::vector<unsigned long> ids;
    std::istringstream lines(Run({"xdotool", "search", "--pid", std::to_string(pid)}));
    std::string line;
    while (std::getline(lines, line)) {
        if (!Trim(line).empty()) {
            ids.push_back(std::strtoul(line.c_str(), nullptr, 10));
        }
    }
    return ids;
}

std::optional<unsigned long> X11Session::WaitForWindowOfPid(int pid, int width, int height,
                                                            int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        for (unsigned long window : WindowsOfPid(pid)) {
            int x = 0, y = 0, w = 0, h = 0;
            if (Geometry(window, x, y, w, h) && w == width && h == height && IsViewable(window)) {
                return window;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

bool X11Session::Geometry(unsigned long window, int& x, int& y, int& width, int& height) {
    int status = -1;
    std::istringstream lines(
        Run({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)}, &status));
    int seen = 0;
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, equals);
        int value = std::atoi(line.c_str() + equals + 1);
        int* target = key == "X"        ? &x
                      : key == "Y"      ? &y
                      : key == "WIDTH"  ? &width
                      : key == "HEIGHT" ? &height
                                        : nullptr;
        if (target) {
            *target = value;
            ++seen;
        }
    }
    return status == 0 && seen == 4;
}

bool X11Session::IsViewable(unsigned long window) {
    return Run({"xwininfo", "-id", Hex(window)}).find("Map State: IsViewable") != std::string::npos;
}

std::string X11Session::ActiveWindowTitle() {
    return Trim(Run({"xdotool", "getactivewindow", "getwindowname"}));
}

std::vector<std::string> X11Session::StackedTitles() {
    std::istringstream ids(Run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}));
    std::vector<std::string> titles;
    std::string word;
    while (ids >> word) {
        if (word.rfind("0x", 0) != 0) {
            continue;
        }
        if (word.back() == ',') {
            word.pop_back();
        }
        titles.push_back(Trim(Run({"xdotool", "getwindowname", word})));
    }
    return titles;
}

bool X11Session::WaitStackedAbove(const std::string& upper, const std::string& lower,
                                  int timeoutMs) {
    return PollUntil(
        [&] {
            const std::vector<std::string> titles = StackedTitles();
            auto up = std::find(titles.begin(), titles.end(), upper);
            auto low = std::find(titles.begin(), titles.end(), lower);
            return up != titles.end() && low != titles.end() && up > low;
        },
        timeoutMs);
}

bool X11Session::Activate(unsigned long window) {
    int status = -1;
    Run({"xdotool", "windowactivate", "--sync", std::to_string(window)}, &status);
    return status == 0;
}

bool X11Session::ClickAt(int x, int y, int button) {
    int status = -1;
    Run({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click",
         std::to_string(button)},
        &status);
    return status == 0;
}

bool X11Session::ClickInWindow(unsigned long window, int x, int y, int button) {
    int status = -1;
    Run({"xdotool", "mousemove", "--sync", "--window", std::to_string(window), std::to_string(x),
         std::to_string(y), "click", std::to_string(button)},
        &status);
    return status == 0;
}

bool X11Session::SendKeys(unsigned long window, const std::vector<std::string>& keys) {
    if (!Activate(window)) {
        return false;
    }
    std::vector<std::string> argv = {"xdotool", "key", "--clearmodifiers"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    int status = -1;
    Run(argv, &status);
    return status == 0;
}

bool X11Session::TypeText(unsigned long window, const std::string& text) {
    if (!Activate(window)) {
        return false;
    }
    int status = -1;
    Run({"xdotool", "type", "--clearmodifiers", "--", text}, &status);
    return status == 0;
}

bool X11Session::Close(unsigned long window) {
    int status = -1;
    Run({"wmctrl", "-i", "-c", Hex(window)}, &status);
    return status == 0;
}

std::string X11Session::OutputFolder() {
    std::filesystem::path base;
    if (const char* dir = std::getenv("QORVANE_TEST_OUTPUT"); dir && *dir) {
        base = dir;
    } else {
        base = std::filesystem::path(QORVANE_XSESSION_DIR).parent_path() / "test-output";
    }
    if (const auto* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
        base /= std::string(test->test_suite_name()) + "." + test->name();
    }
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    return base.string();
}

std::string X11Session::Screenshot(const std::string& name, unsigned long window) {
    const std::string path = OutputFolder() + "/" + name + ".png";
    int status = -1;
    Run({"import", "-window", window == 0 ? std::string("root") : Hex(window), path}, &status);
    return status == 0 && std::filesystem::exists(path) ? path : std::string();
}

std::vector<X11TrayIcon> X11Session::TrayIcons() {
    std::vector<X11TrayIcon> icons;
    std::istringstream hosts(Run({"xdotool", "search", "--class", "^trayer$"}));
    std::string host;
    while (std::getline(hosts, host)) {
        if (Trim(host).empty()) {
            continue;
        }
        // The host's tree: sockets without a name, each holding one icon
        // window with its client's name and class.
        std::istringstream tree(
            Run({"xwininfo", "-tree", "-id", Hex(std::strtoul(host.c_str(), nullptr, 10))}));
        std::string line;
        while (std::getline(tree, line)) {
            std::string trimmed = Trim(line);
            if (trimmed.rfind("0x", 0) != 0) {
                continue;
            }
            std::vector<std::string> parts = QuotedParts(trimmed);
            if (parts.size() < 3) {
                continue;  // a socket or the host's own helper window
            }
            X11TrayIcon icon;
            icon.id = std::strtoul(trimmed.c_str(), nullptr, 16);
            icon.name = parts[0];
            icon.className = parts[2];
            icon.pid = WindowPid(icon.id);
            icons.push_back(icon);
        }
    }
    return icons;
}

bool X11Session::TrayIconDockedForPid(int pid) {
    for (const X11TrayIcon& icon : TrayIcons()) {
        if (icon.pid == pid) {
            return true;
        }
    }
    return false;
}

bool X11Session::WaitForTrayIcon(int pid, bool docked, int timeoutMs) {
    return PollUntil([&] { return TrayIconDockedForPid(pid) == docked; }, timeoutMs);
}
