#pragma once

#include <optional>
#include <string>
#include <vector>

// The desktop session around the client, as far as the exam lock-down
// depends on it: how a Wayland session is joined, and what GNOME's
// compositor allows an X client's keyboard grab.

// In a Wayland session the client stays an X11 client (Xwayland): its window
// layer and the exam's keyboard grab are X11. Sets QT_QPA_PLATFORM to "xcb"
// when WAYLAND_DISPLAY and DISPLAY are both set and nothing chose a platform
// yet; call before the application object exists. True when it set it.
bool PreferX11Platform();

// XDG_CURRENT_DESKTOP, as the session manager published it ("" when unset).
std::string CurrentDesktopName();

// Mutter's `org.gnome.mutter.wayland` `xwayland-grab-access-rules` as the
// user's settings give them; nullopt where Mutter's settings are not
// installed (not a GNOME machine).
std::optional<std::vector<std::string>> MutterGrabAccessRules();

// Mutter's own judgement of an X client's keyboard grab: a rule starting
// with '!' that matches the window's WM_CLASS name or class denies it, and
// wins; otherwise the window's announcement (_XWAYLAND_MAY_GRAB_KEYBOARD) or
// a matching rule grants it. Rules are glob patterns ('*', '?'), matched
// case-sensitively, as Mutter matches them.
bool MutterGrantsGrab(const std::vector<std::string>& rules, const std::string& resName,
                      const std::string& resClass, bool announced);
