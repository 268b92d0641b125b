#include "platform/x11/X11Lockdown.h"

#include <QGuiApplication>

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/x11/X11ShortConnection_linux.h"
#include "platform/x11/X11Title_linux.h"

namespace {

constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;
constexpr long kSourcePager = 2;
constexpr KeySym kFirstSwitchVt = XF86XK_Switch_VT_1;
constexpr KeySym kLastSwitchVt = XF86XK_Switch_VT_12;

xcb_connection_t* ToolkitConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) {
        return nullptr;
    }
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

bool SendWmState(NativeWindow window, bool add, const char* state) {
    ShortConnection connection;
    if (!connection.display) {
        return false;
    }
    const long atom = static_cast<long>(XInternAtom(connection.display, state, False));
    return connection.SendToRoot(window, "_NET_WM_STATE", add ? kNetWmStateAdd : kNetWmStateRemove,
                                 atom, 0, kSourcePager);
}

void CollectTitled(Display* display, Window root, const std::string& title,
                   std::vector<Window>& found) {
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        return;
    }
    for (unsigned int i = 0; i < count; ++i) {
        // Clients sit directly under the root or inside the manager's frame.
        const std::string text = X11WindowTitle(display, children[i]);
        if (!text.empty() && text == title) {
            found.push_back(children[i]);
        }
    }
    if (children) {
        XFree(children);
    }
}

// The terminal-switch symbols taken out of the map, by key code.
struct SavedKey {
    KeyCode code;
    std::vector<KeySym> row;
};
std::mutex g_switchLock;
std::vector<SavedKey> g_savedKeys;

}  // namespace

bool X11SessionActive() {
    return ToolkitConnection() != nullptr;
}

int GrabKeyboard(NativeWindow window) {
    xcb_connection_t* connection = ToolkitConnection();
    if (!connection || window == 0) {
        return -1;
    }
    // owner_events true: our own popups (message boxes) still get their keys.
    xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(connection, 1, static_cast<xcb_window_t>(window), XCB_CURRENT_TIME,
                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(connection, cookie, nullptr);
    if (!reply) {
        return -1;
    }
    int status = reply->status;
    free(reply);
    return status;
}

void UngrabKeyboard() {
    if (xcb_connection_t* connection = ToolkitConnection()) {
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
}

bool SetWindowAbove(NativeWindow window, bool above) {
    return SendWmState(window, above, "_NET_WM_STATE_ABOVE");
}

bool SetWindowFullscreen(NativeWindow window, bool fullscreen) {
    return SendWmState(window, fullscreen, "_NET_WM_STATE_FULLSCREEN");
}

bool SetWindowOwner(NativeWindow window, NativeWindow owner) {
    ShortConnection connection;
    if (!connection.display || window == 0) {
        return false;
    }
    if (owner != 0) {
        XSetTransientForHint(connection.display, window, owner);
    } else {
        XDeleteProperty(connection.display, window,
                        XInternAtom(connection.display, "WM_TRANSIENT_FOR", False));
    }
    XSync(connection.display, False);
    return true;
}

int CloseWindowsTitled(const std::string& title) {
    if (title.empty()) {
        return 0;
    }
    std::vector<Window> found;
    {
        ShortConnection connection;
        if (!connection.display) {
            return 0;
        }
        Window root = DefaultRootWindow(connection.display);
        CollectTitled(connection.display, root, title, found);
        // Reparenting managers put each client inside a frame window.
        Window rootReturn = 0, parent = 0;
        Window* frames = nullptr;
        unsigned int count = 0;
        if (XQueryTree(connection.display, root, &rootReturn, &parent, &frames, &count)) {
            for (unsigned int i = 0; i < count; ++i) {
                CollectTitled(connection.display, frames[i], title, found);
            }
            if (frames) {
                XFree(frames);
            }
        }
    }
    for (Window window : found) {
        RequestWindowClose(window);
        ShortConnection connection;
        if (Display* display = connection.display) {
            XEvent del{};
            del.xclient.type = ClientMessage;
            del.xclient.window = window;
            del.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
            del.xclient.format = 32;
            del.xclient.data.l[0] =
                static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
            del.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, window, False, NoEventMask, &del);
            XSync(display, False);
        }
    }
    return static_cast<int>(found.size());
}

bool DisableTerminalSwitch() {
    std::lock_guard<std::mutex> lock(g_switchLock);
    if (!g_savedKeys.empty()) {
        return false;  // already disabled
    }
    ShortConnection connection;
    Display* display = connection.display;
    if (!display) {
        return false;
    }
    int first = 0, last = 0;
    XDisplayKeycodes(display, &first, &last);
    int perCode = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perCode);
    if (!map) {
        return false;
    }
    for (int code = first; code <= last; ++code) {
        KeySym* row = map + (code - first) * perCode;
        bool hasSwitch = false;
        for (int i = 0; i < perCode; ++i) {
            hasSwitch = hasSwitch || (row[i] >= kFirstSwitchVt && row[i] <= kLastSwitchVt);
        }
        if (!hasSwitch) {
            continue;
        }
        SavedKey saved{static_cast<KeyCode>(code), std::vector<KeySym>(row, row + perCode)};
        for (int i = 0; i < perCode; ++i) {
            if (row[i] >= kFirstSwitchVt && row[i] <= kLastSwitchVt) {
                row[i] = NoSymbol;
            }
        }
        XChangeKeyboardMapping(display, code, perCode, row, 1);
        g_savedKeys.push_back(std::move(saved));
    }
    XFree(map);
    XSync(display, False);
    return !g_savedKeys.empty();
}

bool RestoreTerminalSwitch() {
    std::lock_guard<std::mutex> lock(g_switchLock);
    if (g_savedKeys.empty()) {
        return false;
    }
    ShortConnection connection;
    if (Display* display = connection.display) {
        for (SavedKey& key : g_savedKeys) {
            XChangeKeyboardMapping(display, key.code, static_cast<int>(key.row.size()),
                                   key.row.data(), 1);
        }
        XSync(display, False);
    }
    g_savedKeys.clear();
    return true;
}
