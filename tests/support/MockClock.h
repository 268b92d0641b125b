#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "foundation/Clock.h"

// A clock that stands still until the test moves it. A component waiting on
// it wakes when Advance() makes its moment come; no wait takes real time.
class MockClock : public Clock {
public:
    TimePoint Now() const override {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_now;
    }

    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint due) override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_waiterLock = lock.mutex();
            m_waiter = &wake;
            if (m_now >= due) {
                return;
            }
        }
        wake.wait(lock);
    }

    // Moves time on and wakes the waiter. The time changes under the waiter's
    // own lock, so a waiter between its check and its wait cannot miss it.
    void Advance(std::chrono::milliseconds step) {
        std::mutex* waiterLock;
        std::condition_variable* waiter;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            waiterLock = m_waiterLock;
            waiter = m_waiter;
        }
        if (waiterLock == nullptr) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_now += step;
            return;
        }
        {
            std::lock_guard<std::mutex> outer(*waiterLock);
            std::lock_guard<std::mutex> guard(m_lock);
            m_now += step;
        }
        waiter->notify_all();
    }

private:
    mutable std::mutex m_lock;
    TimePoint m_now{};
    std::mutex* m_waiterLock = nullptr;
    std::condition_variable* m_waiter = nullptr;
};
