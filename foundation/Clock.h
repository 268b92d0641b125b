#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// The time a component waits by. Code that waits for a moment asks its clock
// instead of the system, so that a test can move time on without sleeping.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint Now() const = 0;
    // With lock held: waits on wake until it is notified or until due by this
    // clock has come; may return early, callers check their condition again.
    virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           TimePoint due) = 0;

    // The system's steady clock.
    static Clock& Steady();
};
