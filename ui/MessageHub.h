#pragma once

#include <QObject>

#include <functional>
#include <type_traits>

#include "ui/WindowMessages.h"

class WindowImplBaseNew;

// Every widget lives on the GUI thread. Channel handlers and workers reach
// windows through the hub: Post queues a message and returns; Send and Call
// run the work on the GUI thread and wait for its result (directly when the
// caller already is the GUI thread, so nothing ever waits for itself).
class MessageHub : public QObject {
    Q_OBJECT
public:
    // Creates the hub on the GUI thread; call once after the application
    // object exists.
    static void Install();
    static MessageHub* Instance();
    static bool OnGuiThread();

    // The window's HandleMessage result; 0 when the window is gone.
    static LRESULT Send(WindowImplBaseNew* window, UINT message, WPARAM wParam, LPARAM lParam);
    static bool Post(WindowImplBaseNew* window, UINT message, WPARAM wParam, LPARAM lParam);

    // Runs fn on the GUI thread and returns its result.
    template <typename F>
    static auto Call(F&& fn) -> std::invoke_result_t<F> {
        using R = std::invoke_result_t<F>;
        if constexpr (std::is_void_v<R>) {
            RunBlocking([&] { fn(); });
        } else {
            R result{};
            RunBlocking([&] { result = fn(); });
            return result;
        }
    }
    // Queues fn for the GUI thread; false when there is no GUI thread.
    static bool PostCall(std::function<void()> fn);

private:
    static void RunBlocking(const std::function<void()>& fn);
};
