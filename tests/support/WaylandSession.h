#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

// A headless Wayland desktop with Xwayland for one test, from Debian's own
// compositors: Mutter or GNOME Shell (a virtual monitor, their own session
// bus, settings from a key file), or sway (run as nobody, which it needs).
// Each runs in a private mount namespace with its own /tmp/.X11-unix, since
// Mutter refuses a folder that is not world-writable; programs outside reach
// the X display through its abstract socket. Needs root.
class WaylandSession {
public:
    enum class Compositor { kMutter, kGnomeShell, kSway };

    // From start to a window manager on the X display. GNOME Shell now and
    // then hangs for good while it starts; it is started afresh then.
    static constexpr int kStartMs = 20000;
    static constexpr int kShellReadyMs = 12000;
    static constexpr int kShellAttempts = 3;
    static constexpr int kPollMs = 100;
    static constexpr const char* kScreen = "1280x1024";

    WaylandSession() = default;
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // gsettings: key-file lines for Mutter and everything in the session,
    // e.g. "[org/gnome/mutter/wayland]\nxwayland-grab-access-rules=['Qv']\n".
    bool Start(Compositor compositor, const std::string& gsettings, std::string* error);
    void Stop();

    // What a program that joins the session needs (the client, X tools, the
    // key helpers): DISPLAY, XAUTHORITY, WAYLAND_DISPLAY, the session bus,
    // the same settings.
    std::map<std::string, std::string> Environment() const { return m_env; }
    // The same into this process's environment, so that X11Session's tools
    // look at this display.
    void Enter() const;
    std::string Display() const { return m_env.at("DISPLAY"); }
    // What the compositor wrote, and how many starts it took (a failed
    // test shows them).
    std::string Log() const;
    int Starts() const { return m_starts; }

    // GNOME Shell's overview (org.gnome.Shell OverviewActive); false when it
    // cannot be asked.
    bool OverviewActive() const;
    // sway: keys through the virtual-keyboard protocol (wtype arguments), and
    // whether sway's binding "alt-tab" (Alt+Tab) or "super" (Super) fired.
    bool TypeWithWtype(const std::vector<std::string>& args) const;
    bool SwayBindingFired(const std::string& name) const;

private:
    bool StartGnome(Compositor compositor, std::string* error);
    bool StartSway(std::string* error);
    bool WaitForWindowManager(int timeoutMs) const;
    std::string Folder(const std::string& name) const { return m_folder + "/" + name; }

    std::string m_folder;
    std::unique_ptr<ChildProcess> m_bus;
    std::unique_ptr<ChildProcess> m_systemBus;
    std::unique_ptr<ChildProcess> m_compositor;
    std::map<std::string, std::string> m_env;
    int m_starts = 0;
};
