// Presses keys at compositor level in a GNOME (Mutter) session, past
// Xwayland, through Mutter's remote-desktop interface on the session bus:
//   mutter_keys KEY...     KEY: an X key name ("a", "Tab", "Escape") or a
//                          chord joined by '+' ("alt+Tab", "super+Escape")
// Modifier names: ctrl, alt, shift, super. Prints "sent N" once done.

#include <gio/gio.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kBusName = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kObjectPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr int kCallTimeoutMs = 5000;
// The session makes its virtual keyboard on the first event, which is lost.
constexpr auto kKeyboardReady = std::chrono::milliseconds(300);
constexpr auto kBetweenKeys = std::chrono::milliseconds(30);
constexpr auto kBetweenChords = std::chrono::milliseconds(200);

unsigned long KeysymOf(const std::string& name) {
    if (name == "ctrl") {
        return XStringToKeysym("Control_L");
    }
    if (name == "alt") {
        return XStringToKeysym("Alt_L");
    }
    if (name == "shift") {
        return XStringToKeysym("Shift_L");
    }
    if (name == "super") {
        return XStringToKeysym("Super_L");
    }
    return XStringToKeysym(name.c_str());
}

GVariant* Call(GDBusConnection* bus, const char* path, const char* interface, const char* method,
               GVariant* args) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus, kBusName, path, interface, method, args, nullptr,
                                    G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "%s: %s\n", method, error ? error->message : "failed");
        g_clear_error(&error);
    }
    return reply;
}

bool Key(GDBusConnection* bus, const char* session, unsigned long keysym, bool pressed) {
    GVariant* reply = Call(bus, session, kSessionInterface, "NotifyKeyboardKeysym",
                           g_variant_new("(ub)", static_cast<guint32>(keysym), pressed));
    if (reply) {
        g_variant_unref(reply);
    }
    std::this_thread::sleep_for(kBetweenKeys);
    return reply != nullptr;
}

std::vector<unsigned long> Chord(const std::string& text) {
    std::vector<unsigned long> keys;
    size_t start = 0;
    while (start <= text.size()) {
        size_t plus = text.find('+', start);
        std::string part = text.substr(start, plus == std::string::npos ? plus : plus - start);
        keys.push_back(KeysymOf(part));
        if (plus == std::string::npos) {
            break;
        }
        start = plus + 1;
    }
    return keys;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::vector<unsigned long>> chords;
    for (int i = 1; i < argc; ++i) {
        chords.push_back(Chord(argv[i]));
        for (unsigned long key : chords.back()) {
            if (key == NoSymbol) {
                std::fprintf(stderr, "unknown key in %s\n", argv[i]);
                return 2;
            }
        }
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        std::fprintf(stderr, "no session bus: %s\n", error ? error->message : "");
        return 1;
    }
    GVariant* created = Call(bus, kObjectPath, kBusName, "CreateSession", nullptr);
    if (!created) {
        return 1;
    }
    const gchar* path = nullptr;
    g_variant_get(created, "(&o)", &path);
    const std::string session = path;
    g_variant_unref(created);
    GVariant* started = Call(bus, session.c_str(), kSessionInterface, "Start", nullptr);
    if (!started) {
        return 1;
    }
    g_variant_unref(started);

    const unsigned long shift = KeysymOf("shift");
    Key(bus, session.c_str(), shift, true);
    Key(bus, session.c_str(), shift, false);
    std::this_thread::sleep_for(kKeyboardReady);
    int sent = 0;
    for (const std::vector<unsigned long>& chord : chords) {
        bool ok = true;
        for (unsigned long key : chord) {
            ok = Key(bus, session.c_str(), key, true) && ok;
        }
        for (auto key = chord.rbegin(); key != chord.rend(); ++key) {
            ok = Key(bus, session.c_str(), *key, false) && ok;
        }
        sent += ok ? 1 : 0;
        std::this_thread::sleep_for(kBetweenChords);
    }
    GVariant* stopped = Call(bus, session.c_str(), kSessionInterface, "Stop", nullptr);
    if (stopped) {
        g_variant_unref(stopped);
    }
    g_object_unref(bus);
    std::printf("sent %d\n", sent);
    return sent == static_cast<int>(chords.size()) ? 0 : 1;
}
