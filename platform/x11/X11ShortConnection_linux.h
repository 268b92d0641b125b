#pragma once

#include <X11/Xlib.h>

#include <cstdlib>

// A short connection of our own to $DISPLAY, for the calls that may come
// from any thread; errors of the calls made on it are ignored (a window that
// went meanwhile). Shared by the Linux implementations of this folder only.
struct ShortConnection {
    ShortConnection() {
        const char* name = std::getenv("DISPLAY");
        display = (name && *name) ? XOpenDisplay(name) : nullptr;
        if (display) {
            XSetErrorHandler(IgnoreErrors);
        }
    }
    ~ShortConnection() {
        if (display) {
            XCloseDisplay(display);
        }
    }
    ShortConnection(const ShortConnection&) = delete;
    ShortConnection& operator=(const ShortConnection&) = delete;

    static int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

    // A client message about window to the window manager (or the
    // compositor) through the root window, format 32; false when not sent.
    bool SendToRoot(Window window, const char* type, long l0, long l1 = 0, long l2 = 0,
                    long l3 = 0);

    Display* display;
};
