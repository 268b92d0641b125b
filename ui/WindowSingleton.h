#pragma once

#include <atomic>

#include "ui/MessageHub.h"

// The client's windows of which there is one at most (the exam window, the
// question window, ...): the object is made on first use, on the GUI thread
// whoever asks, and forgotten when the window object goes. Existing() makes
// none and does not wait for the GUI thread.
template <class Window>
class WindowSingleton {
public:
    static Window* Get() {
        return MessageHub::Call([] {
            Window* window = s_window.load();
            if (window == nullptr) {
                window = new Window();
                s_window.store(window);
            }
            return window;
        });
    }
    static Window* Existing() { return s_window.load(); }
    // From the window's destructor (or final message): the next Get() makes
    // a new object.
    static void Forget(const Window* window) {
        Window* expected = const_cast<Window*>(window);
        s_window.compare_exchange_strong(expected, nullptr);
    }

private:
    static inline std::atomic<Window*> s_window{nullptr};
};
