#pragma once

#include <cstdint>
#include <functional>

#include "platform/x11/X11Windows.h"

using WindowMessageHandler = std::function<void(NativeWindow, uint32_t, uintptr_t, intptr_t)>;

// Delivers the custom window messages other programs send to our windows
// (SendWindowMessage) to the handler, on the GUI thread. Needs the Qt
// application object; does nothing on a non-X11 session.
void InstallWindowMessageFilter(WindowMessageHandler handler);

// Calls entered on the GUI thread whenever the pointer moves into the given
// window of another program (embedded in one of ours), until the watch is
// replaced by another one or cleared with window 0. One watch at a time.
void WatchPointerEntry(NativeWindow window, std::function<void()> entered);

// Calls shown on the GUI thread whenever a top-level window appears on the
// screen (any program's), until replaced or cleared with an empty function.
// One watch at a time.
void WatchNewWindows(std::function<void()> shown);
