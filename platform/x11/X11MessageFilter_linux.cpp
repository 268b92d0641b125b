#include "platform/x11/X11MessageFilter.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

namespace {

class MessageFilter : public QAbstractNativeEventFilter {
public:
    MessageFilter(xcb_atom_t atom, WindowMessageHandler handler)
        : m_atom(atom), m_handler(std::move(handler)) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
            return false;
        }
        auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (client->type != m_atom || client->format != 32) {
            return false;
        }
        // 32-bit fields on the wire: sign-extend lParam, which may be negative.
        m_handler(client->window, client->data.data32[0], client->data.data32[1],
                  static_cast<intptr_t>(static_cast<int32_t>(client->data.data32[2])));
        return true;
    }

private:
    xcb_atom_t m_atom;
    WindowMessageHandler m_handler;
};

// The one pointer-entry watch of the process (GUI thread only).
class EntryFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || window == 0) {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_ENTER_NOTIFY) {
            return false;
        }
        auto* enter = reinterpret_cast<xcb_enter_notify_event_t*>(event);
        if (enter->event == window && entered) {
            entered();
        }
        // The other program's window gets its own copy of the event.
        return false;
    }

    xcb_window_t window = 0;
    std::function<void()> entered;
};

// The one new-window watch of the process (GUI thread only).
class MapFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !shown) {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY) {
            return false;
        }
        auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
        if (map->event == root) {
            // Called later: the handler may replace this very watch.
            std::function<void()> call = shown;
            QMetaObject::invokeMethod(
                qApp, [call] { call(); }, Qt::QueuedConnection);
        }
        return false;
    }

    xcb_window_t root = 0;
    std::function<void()> shown;
};

xcb_connection_t* ToolkitConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != "xcb") {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

void WatchPointerEntry(NativeWindow window, std::function<void()> entered) {
    static EntryFilter* filter = nullptr;
    xcb_connection_t* connection = ToolkitConnection();
    if (!connection) {
        return;
    }
    if (!filter) {
        filter = new EntryFilter();  // lives as long as the application
        QCoreApplication::instance()->installNativeEventFilter(filter);
    }
    filter->window = static_cast<xcb_window_t>(window);
    filter->entered = std::move(entered);
    if (window != 0) {
        // Event masks are per client: ours on that window leaves the other
        // program's own selection alone.
        uint32_t mask = XCB_EVENT_MASK_ENTER_WINDOW;
        xcb_change_window_attributes(connection, static_cast<xcb_window_t>(window),
                                     XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }
}

void WatchNewWindows(std::function<void()> shown) {
    static MapFilter* filter = nullptr;
    xcb_connection_t* connection = ToolkitConnection();
    if (!connection) {
        return;
    }
    if (!filter) {
        filter = new MapFilter();  // lives as long as the application
        filter->root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        // Added to what the toolkit already asks of the root window.
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, filter->root), nullptr);
        uint32_t mask =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        free(attributes);
        xcb_change_window_attributes(connection, filter->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        QCoreApplication::instance()->installNativeEventFilter(filter);
    }
    filter->shown = std::move(shown);
}

void InstallWindowMessageFilter(WindowMessageHandler handler) {
    if (!qGuiApp || QGuiApplication::platformName() != "xcb") {
        return;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        return;
    }
    const char* name = kWindowMessageAtom;
    xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply) {
        return;
    }
    xcb_atom_t atom = reply->atom;
    free(reply);
    // Lives as long as the application.
    QCoreApplication::instance()->installNativeEventFilter(
        new MessageFilter(atom, std::move(handler)));
}
