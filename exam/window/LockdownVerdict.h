#pragma once

#include <string>

// Whether a locked exam's keyboard grab really locks the desktop, and what
// the exam does when it does not; free of any window so tests can drive it.

// The desktop behind the client's X display.
enum class DesktopKind {
    kXorg,          // an X server of its own: the grab is the X server's
    kMutter,        // GNOME on Wayland (Mutter, GNOME Shell)
    kKWin,          // KDE Plasma on Wayland
    kWlroots,       // sway and other wlroots compositors
    kOtherWayland,  // a Wayland compositor we know nothing of
};

// From what the display says: Xwayland or not, the window manager's name on
// it, and XDG_CURRENT_DESKTOP when the name says nothing.
DesktopKind ClassifyDesktop(bool xwayland, const std::string& windowManager,
                            const std::string& currentDesktop);
const char* DesktopKindName(DesktopKind kind);

struct LockdownFacts {
    DesktopKind desktop = DesktopKind::kXorg;
    // Our XGrabKeyboard: 0 success, 1 another client holds it, ...; -1 no X.
    int grabStatus = -1;
    // Another client's attempt right after ours: 1 (AlreadyGrabbed) while
    // ours holds.
    int secondClientStatus = -1;
    // Mutter grants our grab (its access rules and our announcement).
    bool mutterGrants = false;
};

struct LockdownVerdict {
    bool holds = false;
    // What failed, for the log; empty when it holds.
    std::string failure;
    // Another program holds the keyboard: the desktop could lock, and may
    // once that program lets go.
    bool keyboardBusy = false;
};

LockdownVerdict JudgeLockdown(const LockdownFacts& facts);

enum class LockdownAction {
    kRun,            // locked as asked
    kRunWithNotice,  // runs, and the learner is told it is not locked
    kRefuse,         // the installation requires the lock: no exam
};

// [Exam] RequireLockdown of versionSetting.ini decides between the last two.
LockdownAction LockdownActionFor(const LockdownVerdict& verdict, bool requireLockdown);
