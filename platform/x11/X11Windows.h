#pragma once

#include <cstdint>
#include <string>

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
