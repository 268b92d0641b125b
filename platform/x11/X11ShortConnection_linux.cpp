#include "platform/x11/X11ShortConnection_linux.h"

bool ShortConnection::SendToRoot(Window window, const char* type, long l0, long l1, long l2,
                                 long l3) {
    if (!display || window == 0) {
        return false;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    Status sent = XSendEvent(display, DefaultRootWindow(display), False,
                             SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(display, False);
    return sent != 0;
}
