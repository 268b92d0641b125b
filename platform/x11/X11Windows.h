#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Top-level windows of other programs (and our own) on the X display: finding
// them by class and title, naming our own, and delivering our custom window
// messages between programs. Each call opens its own short connection to the
// display named by $DISPLAY; without one every call fails harmlessly.
using NativeWindow = unsigned long;

// The client-message type that carries (message, wParam, lParam).
constexpr const char* kWindowMessageAtom = "_QORVANE_WINDOW_MESSAGE";

bool X11Available();

// WM_CLASS of a window: instance and class names.
bool SetWindowClass(NativeWindow window, const std::string& instance, const std::string& className);

// The first top-level window, mapped or not, whose WM_CLASS class is
// className (empty: any) and whose title (_NET_WM_NAME, else WM_NAME) is
// title. 0 when there is none.
NativeWindow FindTopLevelWindow(const std::string& className, const std::string& title);

// The process id a window's owner published (_NET_WM_PID), or 0.
long WindowProcessId(NativeWindow window);

// Sends the window a client message of type kWindowMessageAtom.
bool SendWindowMessage(NativeWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Puts a window that places itself (no window manager) directly above
// another window, or above the frame the window manager put around it; it
// then stays below whatever was above that window.
bool StackAbove(NativeWindow window, NativeWindow reference);

// Asks a window to close the way a user's close button would
// (_NET_CLOSE_WINDOW through the window manager, else WM_DELETE_WINDOW).
bool RequestWindowClose(NativeWindow window);

// The top-level window (mapped or not) with exactly this title whose owner
// published this process id; 0 when there is none. Windows of another
// process with the same title are passed over.
NativeWindow FindProcessWindow(const std::string& title, long pid);

// Makes another program's window a child of one of ours at x, y (relative to
// the parent) and shows it there. True once the window sits in the parent.
bool ReparentWindow(NativeWindow window, NativeWindow parent, int x, int y);

// The window's parent on the X display (0 when unknown).
NativeWindow WindowParent(NativeWindow window);

// The topmost top-level window on the screen that the process published its
// id on (a dialog of another program), or 0 when it shows none.
NativeWindow TopmostShownWindowOf(long pid);

// The window's children on the X display, bottom first (none when unknown).
std::vector<NativeWindow> ChildWindows(NativeWindow window);

// Gives the window the keyboard focus.
bool FocusWindow(NativeWindow window);

// Sends the window a key press or release as the X server reported it to us
// (keycode and modifier state), for another program's window embedded in
// one of ours while our window holds the keyboard.
bool SendKeyEvent(NativeWindow window, bool press, uint32_t keycode, uint32_t state);

// Asks the window itself to close (WM_DELETE_WINDOW), for a window that no
// window manager looks after any more (one embedded in ours).
bool SendDeleteWindow(NativeWindow window);

// Shows or hides a window (maps or unmaps it), for another program's window
// embedded in ours that must make room for our own controls.
bool SetWindowMapped(NativeWindow window, bool mapped);

// True while the window is mapped (shown, or would be if its ancestors were).
bool WindowMapped(NativeWindow window);

// Moves a window to x, y within its parent.
bool MoveWindow(NativeWindow window, int x, int y);
