#pragma once

#include "platform/x11/X11Windows.h"

// What the supervised exam holds on the X display while it locks the desktop
// down. The grab and the window state work on the toolkit's own connection
// (GUI thread); without an X11 session every call fails harmlessly.

// True when the session runs on X11 (not Wayland, not offscreen).
bool X11SessionActive();

// Actively grabs the whole keyboard for one of our windows: every key goes to
// this client, so the window manager's shortcuts (Alt+Tab, Super) never fire.
// Calling it again while held renews the grab (a closing popup drops it).
// The X grab status: 0 success, 1 already grabbed by another client,
// 2 invalid time, 3 not viewable, 4 frozen; -1 without X11.
int GrabKeyboard(NativeWindow window);
void UngrabKeyboard();

// _NET_WM_STATE_ABOVE / _NET_WM_STATE_FULLSCREEN of a managed window, through
// the window manager (EWMH client message to the root window).
bool SetWindowAbove(NativeWindow window, bool above);
bool SetWindowFullscreen(NativeWindow window, bool fullscreen);
// Makes window belong to owner (WM_TRANSIENT_FOR; owner 0 frees it). The
// window manager keeps a window above its owner, even when the owner is a
// focused full-screen window, which stays above every merely "above" one.
bool SetWindowOwner(NativeWindow window, NativeWindow owner);

// Closes every top-level window with exactly this title: the window manager's
// close request, then WM_DELETE_WINDOW to the window itself. Returns how many
// were asked to close.
int CloseWindowsTitled(const std::string& title);

// The X server switches virtual terminals itself on Ctrl+Alt+F1..F12, past
// any grab. Disable removes the terminal-switch symbols from the keyboard
// map (so the keys carry no switch action) and remembers them; Restore puts
// them back. Both return false when nothing was changed.
bool DisableTerminalSwitch();
bool RestoreTerminalSwitch();
