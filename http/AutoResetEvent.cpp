#include "http/AutoResetEvent.h"

#include <chrono>

void AutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_signalled = true;
    }
    m_changed.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_signalled = false;
}

bool AutoResetEvent::Wait(long timeoutMs) {
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [this] { return m_signalled; })) {
        return false;
    }
    m_signalled = false;
    return true;
}
