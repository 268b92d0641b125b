#pragma once

#include <X11/Xlib.h>

#include <string>

// The title of a top-level window: its UTF-8 _NET_WM_NAME, else WM_NAME;
// empty when it has neither. Shared by the Linux implementations of this
// folder only.
std::string X11WindowTitle(Display* display, Window window);
