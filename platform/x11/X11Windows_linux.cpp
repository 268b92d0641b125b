#include "platform/x11/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/x11/X11Title_linux.h"

namespace {

// One short-lived connection per call: these calls are rare (start-up,
// closing another program's window) and must work from any thread.
class Connection {
public:
    Connection() {
        const char* name = std::getenv("DISPLAY");
        if (name && *name) {
            m_display = XOpenDisplay(name);
        }
    }
    ~Connection() {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    Display* get() const { return m_display; }

private:
    Display* m_display = nullptr;
};

// X errors for a window that vanished meanwhile are expected; never abort.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// One 32-bit client message about window, sent to target (the window itself,
// or the root for requests to the window manager).
bool SendClientMessage(Display* display, Window target, Window window, const char* type,
                       std::initializer_list<long> data, long eventMask = NoEventMask) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) {
        event.xclient.data.l[i++] = value;
    }
    return XSendEvent(display, target, False, eventMask, &event) != 0;
}

// The window's own close request (WM_DELETE_WINDOW).
bool SendDeleteMessage(Display* display, Window window) {
    return SendClientMessage(
        display, window, window, "WM_PROTOCOLS",
        {static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False)), CurrentTime});
}

bool ClassMatches(Display* display, Window window, const std::string& className) {
    if (className.empty()) {
        return true;
    }
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) {
        return false;
    }
    bool same = hint.res_class && className == hint.res_class;
    if (hint.res_name) {
        XFree(hint.res_name);
    }
    if (hint.res_class) {
        XFree(hint.res_class);
    }
    return same;
}

}  // namespace

bool X11Available() {
    return Connection().get() != nullptr;
}

bool SetWindowClass(NativeWindow window, const std::string& instance,
                    const std::string& className) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    std::vector<char> res(instance.begin(), instance.end());
    res.push_back('\0');
    std::vector<char> cls(className.begin(), className.end());
    cls.push_back('\0');
    XClassHint hint{res.data(), cls.data()};
    XSetClassHint(display, window, &hint);
    XSync(display, False);
    return true;
}

namespace {

// Calls match for every top-level window and, since reparenting window
// managers put a frame around each client, every window one level down;
// stops at the first window match accepts.
template <typename Match>
NativeWindow FindTopLevel(Display* display, Match match) {
    Window root = DefaultRootWindow(display);
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        return 0;
    }
    NativeWindow found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        std::vector<Window> candidates{children[i]};
        Window r = 0, p = 0;
        Window* inner = nullptr;
        unsigned int innerCount = 0;
        if (XQueryTree(display, children[i], &r, &p, &inner, &innerCount) && inner) {
            candidates.insert(candidates.end(), inner, inner + innerCount);
            XFree(inner);
        }
        for (Window w : candidates) {
            if (match(w)) {
                found = w;
                break;
            }
        }
    }
    if (children) {
        XFree(children);
    }
    return found;
}

long ProcessIdOf(Display* display, Window window) {
    Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (count == 1 && format == 32) {
            pid = *reinterpret_cast<long*>(data);
        }
        XFree(data);
    }
    return pid;
}

Window ParentOf(Display* display, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) {
        return 0;
    }
    if (children) {
        XFree(children);
    }
    return parent;
}

}  // namespace

NativeWindow FindTopLevelWindow(const std::string& className, const std::string& title) {
    Connection connection;
    Display* display = connection.get();
    if (!display) {
        return 0;
    }
    XSetErrorHandler(IgnoreErrors);
    return FindTopLevel(display, [&](Window w) {
        return ClassMatches(display, w, className) && X11WindowTitle(display, w) == title;
    });
}

NativeWindow FindProcessWindow(const std::string& title, long pid) {
    Connection connection;
    Display* display = connection.get();
    if (!display || pid <= 0) {
        return 0;
    }
    XSetErrorHandler(IgnoreErrors);
    return FindTopLevel(display, [&](Window w) {
        return X11WindowTitle(display, w) == title && ProcessIdOf(display, w) == pid;
    });
}

NativeWindow TopmostShownWindowOf(long pid) {
    Connection connection;
    Display* display = connection.get();
    if (!display || pid <= 0) {
        return 0;
    }
    XSetErrorHandler(IgnoreErrors);
    NativeWindow topmost = 0;
    // The walk goes bottom up: the last match is the topmost one.
    FindTopLevel(display, [&](Window w) {
        XWindowAttributes attributes{};
        if (ProcessIdOf(display, w) == pid && XGetWindowAttributes(display, w, &attributes) &&
            attributes.map_state == IsViewable) {
            topmost = w;
        }
        return false;
    });
    return topmost;
}

namespace {

// How long a window manager may take to let go of a window we take.
constexpr int kWithdrawWaitMs = 2000;

// True while a window manager looks after the window: it sits in a frame of
// the manager's, or carries a WM_STATE other than withdrawn.
bool Managed(Display* display, Window window) {
    if (ParentOf(display, window) != DefaultRootWindow(display)) {
        return true;
    }
    Atom state = XInternAtom(display, "WM_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool managed = false;
    if (XGetWindowProperty(display, window, state, 0, 2, False, state, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32 && count > 0) {
        managed = *reinterpret_cast<long*>(data) != WithdrawnState;
    }
    if (data) {
        XFree(data);
    }
    return managed;
}

bool Unmapped(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsUnmapped;
}

// Waits on the window's own events until done() holds or kWithdrawWaitMs
// have passed.
template <typename Done>
void WaitForWindow(Display* display, Window window, Done done) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWithdrawWaitMs);
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        if (XPending(display) == 0) {
            pollfd entry{ConnectionNumber(display), POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(left)) <= 0) {
                continue;
            }
        }
        XEvent event;
        XNextEvent(display, &event);
    }
}

// Takes a window away from the window manager (ICCCM 4.1.4): one that asked
// to be shown but is not managed yet is first left to the manager (taken
// before, it would be managed, and so taken back, afterwards); then it is
// withdrawn, until the manager has let go of it.
void Withdraw(Display* display, Window window) {
    XSelectInput(display, window, StructureNotifyMask | PropertyChangeMask);
    if (!Managed(display, window) && Unmapped(display, window)) {
        WaitForWindow(display, window, [&] { return Managed(display, window); });
    }
    if (Managed(display, window)) {
        XWithdrawWindow(display, window, DefaultScreen(display));
        XSync(display, False);
        WaitForWindow(display, window, [&] { return !Managed(display, window); });
    }
    XSelectInput(display, window, NoEventMask);
}

}  // namespace

bool ReparentWindow(NativeWindow window, NativeWindow parent, int x, int y) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0 || parent == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    // Taken from under a window manager that still looks after it, the
    // window races with the manager's own unmanaging, which may hide it or
    // take it back to the desktop afterwards: it is withdrawn first.
    if (ParentOf(display, window) != parent) {
        Withdraw(display, window);
    }
    XReparentWindow(display, window, parent, x, y);
    XMapRaised(display, window);
    XSync(display, False);
    return ParentOf(display, window) == parent;
}

NativeWindow WindowParent(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return 0;
    }
    XSetErrorHandler(IgnoreErrors);
    return ParentOf(display, window);
}

bool WindowMapped(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
}

std::vector<NativeWindow> ChildWindows(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    std::vector<NativeWindow> found;
    if (!display || window == 0) {
        return found;
    }
    XSetErrorHandler(IgnoreErrors);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        found.assign(children, children + count);
    }
    if (children) {
        XFree(children);
    }
    return found;
}

bool FocusWindow(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    return true;
}

bool SendKeyEvent(NativeWindow window, bool press, uint32_t keycode, uint32_t state) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    XEvent event{};
    event.xkey.type = press ? KeyPress : KeyRelease;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.subwindow = None;
    event.xkey.time = CurrentTime;
    event.xkey.same_screen = True;
    event.xkey.keycode = keycode;
    event.xkey.state = state;
    Status sent = XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, &event);
    XSync(display, False);
    return sent != 0;
}

long WindowProcessId(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return 0;
    }
    XSetErrorHandler(IgnoreErrors);
    return ProcessIdOf(display, window);
}

bool SendWindowMessage(NativeWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    const bool sent = SendClientMessage(
        display, window, window, kWindowMessageAtom,
        {static_cast<long>(message), static_cast<long>(wParam), static_cast<long>(lParam)});
    XSync(display, False);
    return sent;
}

bool SendDeleteWindow(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    const bool sent = SendDeleteMessage(display, window);
    XSync(display, False);
    return sent;
}

bool StackAbove(NativeWindow window, NativeWindow reference) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0 || reference == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    // The sibling must be a child of the root: the reference's frame, if any.
    Window sibling = reference;
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, sibling, &root, &parent, &children, &count)) {
            return false;
        }
        if (children) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            break;
        }
        sibling = parent;
    }
    XWindowChanges changes{};
    changes.sibling = sibling;
    changes.stack_mode = Above;
    XConfigureWindow(display, window, CWSibling | CWStackMode, &changes);
    XSync(display, False);
    return true;
}

bool RequestWindowClose(NativeWindow window) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    // Source 2: a pager or similar tool.
    bool sent =
        SendClientMessage(display, DefaultRootWindow(display), window, "_NET_CLOSE_WINDOW",
                          {CurrentTime, 2}, SubstructureRedirectMask | SubstructureNotifyMask);
    if (!sent) {
        sent = SendDeleteMessage(display, window);
    }
    XSync(display, False);
    return sent;
}

std::string X11WindowTitle(Display* display, Window window) {
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

bool SetWindowMapped(NativeWindow window, bool mapped) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    if (mapped) {
        XMapRaised(display, window);
    } else {
        XUnmapWindow(display, window);
    }
    XSync(display, False);
    return true;
}

bool MoveWindow(NativeWindow window, int x, int y) {
    Connection connection;
    Display* display = connection.get();
    if (!display || window == 0) {
        return false;
    }
    XSetErrorHandler(IgnoreErrors);
    XMoveWindow(display, window, x, y);
    XSync(display, False);
    return true;
}
