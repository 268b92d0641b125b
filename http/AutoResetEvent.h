#pragma once

#include <condition_variable>
#include <mutex>

// An in-process event that lets exactly one waiter through per Set() and then
// resets itself.
class AutoResetEvent {
public:
    void Set();
    void Reset();
    // true when signalled within timeoutMs, false on time-out.
    bool Wait(long timeoutMs);

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_signalled = false;
};
