#include "platform/x11/X11GrabCheck.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/randr.h>

#include <cstring>

#include "platform/x11/X11ShortConnection_linux.h"

namespace {

constexpr const char* kXwaylandExtension = "XWAYLAND";
// Xwayland before 23.1 has no extension of its own, but names its outputs so.
constexpr const char* kXwaylandOutputPrefix = "XWAYLAND";
constexpr const char* kMayGrabAtom = "_XWAYLAND_MAY_GRAB_KEYBOARD";
constexpr long kMayGrab = 1;
// A window name is short; a longer property is not a name.
constexpr long kMaxNameWords = 256;

Window WindowProperty(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window found = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1) {
        found = *reinterpret_cast<Window*>(data);
    }
    if (data) {
        XFree(data);
    }
    return found;
}

std::string Utf8Property(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, kMaxNameWords,
                           False, XInternAtom(display, "UTF8_STRING", False), &type, &format,
                           &count, &after, &data) == Success &&
        format == 8 && data) {
        text.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data) {
        XFree(data);
    }
    return text;
}

bool HasXwaylandOutput(Display* display) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    xcb_window_t root = static_cast<xcb_window_t>(DefaultRootWindow(display));
    xcb_randr_get_screen_resources_current_reply_t* resources =
        xcb_randr_get_screen_resources_current_reply(
            connection, xcb_randr_get_screen_resources_current(connection, root), nullptr);
    if (!resources) {
        return false;
    }
    bool found = false;
    const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(resources);
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources);
    for (int i = 0; i < count && !found; ++i) {
        xcb_randr_get_output_info_reply_t* info = xcb_randr_get_output_info_reply(
            connection,
            xcb_randr_get_output_info(connection, outputs[i], resources->config_timestamp),
            nullptr);
        if (info) {
            const int length = xcb_randr_get_output_info_name_length(info);
            const size_t prefix = std::strlen(kXwaylandOutputPrefix);
            found = length >= static_cast<int>(prefix) &&
                    std::memcmp(xcb_randr_get_output_info_name(info), kXwaylandOutputPrefix,
                                prefix) == 0;
            free(info);
        }
    }
    free(resources);
    return found;
}

}  // namespace

bool ServerIsXwayland() {
    ShortConnection connection;
    Display* display = connection.display;
    if (!display) {
        return false;
    }
    int opcode = 0, event = 0, error = 0;
    if (XQueryExtension(display, kXwaylandExtension, &opcode, &event, &error)) {
        return true;
    }
    return XQueryExtension(display, "RANDR", &opcode, &event, &error) && HasXwaylandOutput(display);
}

std::string WindowManagerName() {
    ShortConnection connection;
    Display* display = connection.display;
    if (!display) {
        return {};
    }
    Window root = DefaultRootWindow(display);
    Window check = WindowProperty(display, root, "_NET_SUPPORTING_WM_CHECK");
    // A stale check window (the manager is gone) does not point at itself.
    if (check == 0 || WindowProperty(display, check, "_NET_SUPPORTING_WM_CHECK") != check) {
        return {};
    }
    return Utf8Property(display, check, "_NET_WM_NAME");
}

bool ReadWindowClass(NativeWindow window, std::string& instance, std::string& className) {
    ShortConnection connection;
    XClassHint hint{};
    if (!connection.display || window == 0 || !XGetClassHint(connection.display, window, &hint)) {
        return false;
    }
    instance = hint.res_name ? hint.res_name : "";
    className = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return true;
}

bool AnnounceXwaylandGrab(NativeWindow window) {
    ShortConnection connection;
    return connection.SendToRoot(window, kMayGrabAtom, kMayGrab);
}

int SecondClientGrabStatus() {
    ShortConnection connection;
    Display* display = connection.display;
    if (!display) {
        return -1;
    }
    int status = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                               GrabModeAsync, CurrentTime);
    if (status == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
    }
    return status;
}
