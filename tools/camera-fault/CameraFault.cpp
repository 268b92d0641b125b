// camera-fault: reports a camera fault to the running client the way the
// camera's own supervisor program does, as a window message (3031, the code
// in lParam) to the client's main window.
//
//   camera-fault 5            fault: the client shows its camera tip
//   camera-fault -- -1        camera lost (the same tip)
//   camera-fault 6            recovered: the tip closes
//   camera-fault --window 0x2a00007 5
//
// Needs $DISPLAY. Exit status 0 when the message was sent, 1 when no client
// window was found, 2 for bad arguments.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kMessageAtom = "_QORVANE_WINDOW_MESSAGE";
constexpr const char* kMainWindowInstance = "QorvaneUI";
constexpr long kCameraFaultMessage = 3031;

void Usage() {
    fprintf(stderr,
            "usage: camera-fault [--window ID | --instance NAME] [--] CODE\n"
            "  sends message %ld with CODE in lParam to the client's main window\n"
            "  (WM_CLASS instance \"%s\" unless told otherwise)\n",
            kCameraFaultMessage, kMainWindowInstance);
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

bool HasInstance(Display* display, Window window, const std::string& instance) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) {
        return false;
    }
    bool match = hint.res_name && instance == hint.res_name;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return match;
}

// Depth first below start: the window manager may have put a frame around it.
Window FindByInstance(Display* display, Window start, const std::string& instance, int depth) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, start, &root, &parent, &children, &count)) {
        return 0;
    }
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (HasInstance(display, children[i], instance)) {
            found = children[i];
        } else if (depth > 0) {
            found = FindByInstance(display, children[i], instance, depth - 1);
        }
    }
    if (children) {
        XFree(children);
    }
    return found;
}

bool ParseNumber(const char* text, long& value) {
    char* end = nullptr;
    value = strtol(text, &end, 0);
    return *text && end && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    std::string instance = kMainWindowInstance;
    long window = 0;
    const char* codeText = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0) {
            Usage();
            return 0;
        }
        if (strcmp(argv[i], "--window") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], window)) {
                Usage();
                return 2;
            }
        } else if (strcmp(argv[i], "--instance") == 0 && i + 1 < argc) {
            instance = argv[++i];
        } else if (strcmp(argv[i], "--") == 0 && i + 1 < argc) {
            codeText = argv[++i];
        } else {
            codeText = argv[i];
        }
    }
    long code = 0;
    if (!codeText || !ParseNumber(codeText, code)) {
        Usage();
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "camera-fault: no display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    Window target = window ? static_cast<Window>(window)
                           : FindByInstance(display, DefaultRootWindow(display), instance, 2);
    if (!target) {
        fprintf(stderr, "camera-fault: no window of instance %s\n", instance.c_str());
        XCloseDisplay(display);
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display, kMessageAtom, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = kCameraFaultMessage;
    event.xclient.data.l[1] = 0;
    event.xclient.data.l[2] = code;
    Status sent = XSendEvent(display, target, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    if (!sent) {
        fprintf(stderr, "camera-fault: message not sent\n");
        return 1;
    }
    printf("sent %ld to 0x%lx\n", code, static_cast<unsigned long>(target));
    return 0;
}
