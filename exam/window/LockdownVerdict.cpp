#include "exam/window/LockdownVerdict.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kGrabSuccess = 0;
constexpr int kAlreadyGrabbed = 1;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string StatusText(int status) {
    return std::to_string(status);
}

}  // namespace

DesktopKind ClassifyDesktop(bool xwayland, const std::string& windowManager,
                            const std::string& currentDesktop) {
    if (!xwayland) {
        return DesktopKind::kXorg;
    }
    // The manager's own name first: the environment may be inherited from
    // another session.
    const std::string name = Lower(windowManager);
    if (Contains(name, "mutter") || Contains(name, "gnome shell")) {
        return DesktopKind::kMutter;
    }
    if (Contains(name, "kwin")) {
        return DesktopKind::kKWin;
    }
    if (Contains(name, "wlroots")) {
        return DesktopKind::kWlroots;
    }
    const std::string desktop = Lower(currentDesktop);
    if (Contains(desktop, "gnome")) {
        return DesktopKind::kMutter;
    }
    if (Contains(desktop, "kde")) {
        return DesktopKind::kKWin;
    }
    if (Contains(desktop, "sway") || Contains(desktop, "wlroots")) {
        return DesktopKind::kWlroots;
    }
    return DesktopKind::kOtherWayland;
}

const char* DesktopKindName(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::kXorg:
            return "Xorg";
        case DesktopKind::kMutter:
            return "GNOME on Wayland";
        case DesktopKind::kKWin:
            return "KDE on Wayland";
        case DesktopKind::kWlroots:
            return "wlroots compositor (sway)";
        case DesktopKind::kOtherWayland:
            break;
    }
    return "unknown Wayland compositor";
}

LockdownVerdict JudgeLockdown(const LockdownFacts& facts) {
    if (facts.grabStatus == -1) {
        return {false, "no X11 display to grab the keyboard on"};
    }
    if (facts.grabStatus != kGrabSuccess) {
        if (facts.grabStatus == kAlreadyGrabbed) {
            return {false, "another program holds the keyboard (grab status 1)", true};
        }
        return {false, "keyboard grab refused (status " + StatusText(facts.grabStatus) + ")"};
    }
    if (facts.secondClientStatus != kAlreadyGrabbed) {
        return {false, "another X client could still take the keyboard (status " +
                           StatusText(facts.secondClientStatus) + ")"};
    }
    switch (facts.desktop) {
        case DesktopKind::kXorg:
            return {true, {}};
        case DesktopKind::kMutter:
            if (facts.mutterGrants) {
                return {true, {}};
            }
            return {false,
                    "Mutter's xwayland-grab-access-rules deny the exam window's keyboard grab: "
                    "its shortcuts (Super, Alt+Tab) stay active"};
        case DesktopKind::kKWin:
            // KWin inhibits its shortcuts while an Xwayland grab is on the
            // focused window, for any X client.
            return {true, {}};
        case DesktopKind::kWlroots:
            return {false,
                    "wlroots compositors (sway) keep their key bindings past an X keyboard grab"};
        case DesktopKind::kOtherWayland:
            break;
    }
    return {false,
            "an unknown Wayland compositor: whether it honours an X keyboard grab is unknown"};
}

LockdownAction LockdownActionFor(const LockdownVerdict& verdict, bool requireLockdown) {
    if (verdict.holds) {
        return LockdownAction::kRun;
    }
    return requireLockdown ? LockdownAction::kRefuse : LockdownAction::kRunWithNotice;
}
