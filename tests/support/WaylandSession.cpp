#include "tests/support/WaylandSession.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace {

constexpr int kNobody = 65534;
constexpr int kBusReadyMs = 5000;
constexpr const char* kWaylandName = "qv-wayland-0";

// The compositor's own /tmp/.X11-unix (and, for GNOME Shell, no logind seat
// folder, which it would otherwise ask the absent system logind about).
std::vector<std::string> InPrivateNamespace(bool hideSeats, const std::vector<std::string>& argv) {
    std::string script =
        "[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix; "
        "mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix || exit 1; ";
    if (hideSeats) {
        script += "if [ -d /run/systemd ]; then mount -t tmpfs tmpfs /run/systemd || exit 1; fi; ";
    }
    script += "exec \"$@\"";
    std::vector<std::string> command{
        "/usr/bin/unshare", "-m", "--propagation", "private", "--", "sh", "-c", script, "sh"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

bool PollUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(WaylandSession::kPollMs));
    }
    return true;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string EnvPrefix(const std::map<std::string, std::string>& env) {
    std::string prefix = "env";
    for (const auto& [name, value] : env) {
        prefix += " " + name + "=" + Quote(value);
    }
    return prefix + " ";
}

std::unique_ptr<ChildProcess> StartBus(const std::string& socket) {
    auto bus = std::make_unique<ChildProcess>();
    if (!bus->Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address",
                     "--address=unix:path=" + socket}) ||
        !bus->WaitForOutput("unix:path=", kBusReadyMs)) {
        return nullptr;
    }
    return bus;
}

}  // namespace

WaylandSession::~WaylandSession() {
    Stop();
}

bool WaylandSession::Start(Compositor compositor, const std::string& gsettings,
                           std::string* error) {
    Stop();
    m_starts = 0;
    // Under /tmp, open to nobody (sway's user) for the path only.
    char pattern[] = "/tmp/qv-wayland-XXXXXX";
    if (!mkdtemp(pattern) || chmod(pattern, 0711) != 0) {
        *error = "no session folder";
        return false;
    }
    m_folder = pattern;
    std::filesystem::create_directories(Folder("config/glib-2.0/settings"));
    std::ofstream(Folder("config/glib-2.0/settings/keyfile")) << gsettings;
    std::filesystem::create_directories(Folder("run"));
    chmod(Folder("run").c_str(), 0700);
    m_bus = StartBus(Folder("bus"));
    if (!m_bus) {
        *error = "the session bus did not start";
        return false;
    }
    m_env = {{"XDG_RUNTIME_DIR", Folder("run")},
             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Folder("bus")},
             {"GSETTINGS_BACKEND", "keyfile"},
             {"XDG_CONFIG_HOME", Folder("config")},
             {"XDG_SESSION_TYPE", "wayland"}};
    return compositor == Compositor::kSway ? StartSway(error) : StartGnome(compositor, error);
}

bool WaylandSession::StartGnome(Compositor compositor, std::string* error) {
    const bool shell = compositor == Compositor::kGnomeShell;
    if (shell) {
        m_systemBus = StartBus(Folder("sysbus"));
        if (!m_systemBus) {
            *error = "the stand-in system bus did not start";
            return false;
        }
    }
    const int attempts = shell ? kShellAttempts : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::map<std::string, std::string> env = m_env;
        env["DISPLAY"] = "";
        env["WAYLAND_DISPLAY"] = "";
        if (shell) {
            env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + Folder("sysbus");
        }
        m_compositor = std::make_unique<ChildProcess>();
        ++m_starts;
        const std::vector<std::string> argv{shell ? "gnome-shell" : "mutter",
                                            "--headless",
                                            "--wayland",
                                            "--virtual-monitor",
                                            kScreen,
                                            "--wayland-display",
                                            kWaylandName};
        if (!m_compositor->Start(InPrivateNamespace(shell, argv), env) ||
            !m_compositor->WaitForOutput("Using public X11 display :", kStartMs)) {
            *error = "the compositor did not start: " + m_compositor->Output();
            return false;
        }
        const std::string output = m_compositor->Output();
        const size_t at = output.find("Using public X11 display :") + 25;
        m_env["DISPLAY"] = output.substr(at, output.find(',', at) - at);
        m_env["WAYLAND_DISPLAY"] = Folder("run/") + kWaylandName;
        for (const auto& entry : std::filesystem::directory_iterator(Folder("run"))) {
            if (entry.path().filename().string().rfind(".mutter-Xwaylandauth.", 0) == 0) {
                m_env["XAUTHORITY"] = entry.path().string();
            }
        }
        if (WaitForWindowManager(shell ? kShellReadyMs : kStartMs)) {
            return true;
        }
        *error = "no window manager on " + m_env["DISPLAY"] + ": " + m_compositor->Output();
        m_compositor->Stop(SIGKILL);
    }
    return false;
}

bool WaylandSession::StartSway(std::string* error) {
    std::filesystem::create_directories(Folder("sway"));
    chown(Folder("run").c_str(), kNobody, kNobody);
    chown(Folder("sway").c_str(), kNobody, kNobody);
    // Alt+Tab and Super bound as a learner's desktop could have them, each
    // leaving a mark when it fires; the session's DISPLAY written down.
    std::ofstream(Folder("sway.config"))
        << "xwayland enable\n"
           "bindsym Mod1+Tab exec touch "
        << Folder("sway/fired-alt-tab") << "\nbindsym --release Super_L exec touch "
        << Folder("sway/fired-super")
        << "\n"
           "exec sh -c 'echo \"$DISPLAY\" > "
        << Folder("sway/session.tmp") << " && mv " << Folder("sway/session.tmp") << " "
        << Folder("sway/session") << "'\n";
    m_compositor = std::make_unique<ChildProcess>();
    const std::vector<std::string> argv{"setpriv",
                                        "--reuid=65534",
                                        "--regid=65534",
                                        "--clear-groups",
                                        "--",
                                        "env",
                                        "WLR_BACKENDS=headless",
                                        "WLR_LIBINPUT_NO_DEVICES=1",
                                        "WLR_RENDERER=pixman",
                                        "sway",
                                        "-c",
                                        Folder("sway.config")};
    std::map<std::string, std::string> env = m_env;
    env["DISPLAY"] = "";
    env["WAYLAND_DISPLAY"] = "";
    env["HOME"] = Folder("sway");
    if (!m_compositor->Start(InPrivateNamespace(false, argv), env)) {
        *error = "sway did not start";
        return false;
    }
    std::string line;
    if (!PollUntil(
            [&] {
                std::ifstream in(Folder("sway/session"));
                return static_cast<bool>(std::getline(in, line)) && !line.empty();
            },
            kStartMs)) {
        *error = "sway wrote no session: " + m_compositor->Output();
        return false;
    }
    m_env["DISPLAY"] = line;
    m_env["XAUTHORITY"] = "";  // none: access by user (below)
    m_env["WAYLAND_DISPLAY"] = "wayland-1";
    for (const auto& entry : std::filesystem::directory_iterator(Folder("run"))) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos) {
            m_env["WAYLAND_DISPLAY"] = entry.path().string();
        }
    }
    // sway's Xwayland lets in its own user only; the tests and the client
    // run as root.
    const std::string allowRoot =
        "setpriv --reuid=65534 --regid=65534 --clear-groups -- env -u "
        "XAUTHORITY DISPLAY=" +
        m_env["DISPLAY"] + " timeout 5 xhost +si:localuser:root >/dev/null 2>&1; echo $?";
    if (!PollUntil([&] { return RunCommand(allowRoot) == "0\n"; }, kStartMs) ||
        !WaitForWindowManager(kStartMs)) {
        *error = "no X display from sway: " + m_compositor->Output();
        return false;
    }
    return true;
}

bool WaylandSession::WaitForWindowManager(int timeoutMs) const {
    const std::string command =
        EnvPrefix({{"DISPLAY", m_env.at("DISPLAY")},
                   {"XAUTHORITY", m_env.count("XAUTHORITY") ? m_env.at("XAUTHORITY") : ""}}) +
        "timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null";
    return PollUntil([&] { return RunCommand(command).find("window id") != std::string::npos; },
                     timeoutMs);
}

void WaylandSession::Enter() const {
    for (const auto& [name, value] : m_env) {
        setenv(name.c_str(), value.c_str(), 1);
    }
}

bool WaylandSession::OverviewActive() const {
    const std::string reply =
        RunCommand(EnvPrefix({{"DBUS_SESSION_BUS_ADDRESS", m_env.at("DBUS_SESSION_BUS_ADDRESS")}}) +
                   "timeout 5 gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m "
                   "org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive 2>&1");
    return reply.find("<true>") != std::string::npos;
}

bool WaylandSession::TypeWithWtype(const std::vector<std::string>& args) const {
    std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups -- " +
                          EnvPrefix({{"XDG_RUNTIME_DIR", m_env.at("XDG_RUNTIME_DIR")},
                                     {"WAYLAND_DISPLAY", m_env.at("WAYLAND_DISPLAY")}}) +
                          "timeout 10 wtype";
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    return RunCommand(command + " >/dev/null 2>&1; echo $?") == "0\n";
}

bool WaylandSession::SwayBindingFired(const std::string& name) const {
    return std::filesystem::exists(Folder("sway/fired-" + name));
}

std::string WaylandSession::Log() const {
    return m_compositor ? m_compositor->Output() : std::string();
}

void WaylandSession::Stop() {
    if (m_compositor) {
        m_compositor->Stop();
        m_compositor.reset();
    }
    m_systemBus.reset();
    m_bus.reset();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        m_folder.clear();
    }
    m_env.clear();
}
