#include "ui/MessageHub.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include "ui/WindowImplBaseNew.h"

namespace {
MessageHub* g_hub = nullptr;
}

void MessageHub::Install() {
    if (!g_hub) {
        g_hub = new MessageHub();
    }
}

MessageHub* MessageHub::Instance() {
    return g_hub;
}

bool MessageHub::OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void MessageHub::RunBlocking(const std::function<void()>& fn) {
    if (OnGuiThread() || !g_hub) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(g_hub, fn, Qt::BlockingQueuedConnection);
}

bool MessageHub::PostCall(std::function<void()> fn) {
    if (!g_hub) {
        return false;
    }
    return QMetaObject::invokeMethod(g_hub, std::move(fn), Qt::QueuedConnection);
}

LRESULT MessageHub::Send(WindowImplBaseNew* window, UINT message, WPARAM wParam, LPARAM lParam) {
    QPointer<WindowImplBaseNew> target(window);
    return Call(
        [&]() -> LRESULT { return target ? target->HandleMessage(message, wParam, lParam) : 0; });
}

bool MessageHub::Post(WindowImplBaseNew* window, UINT message, WPARAM wParam, LPARAM lParam) {
    QPointer<WindowImplBaseNew> target(window);
    return PostCall([target, message, wParam, lParam] {
        if (target) {
            target->HandleMessage(message, wParam, lParam);
        }
    });
}
