#pragma once

#include <chrono>
#include <csignal>
#include <string>

// A named auto-reset event shared between processes: Set() leaves it
// signalled until one wait consumes the signal; setting it again while it is
// signalled changes nothing. Results are 0 or the system error code.
class NamedEvent {
public:
    enum class WaitResult { Signalled, TimedOut, Failed, Cancelled };

    NamedEvent() = default;
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Creates the event (not signalled, usable by every user) or opens it
    // when it exists.
    int CreateOrOpen(const std::string& name);
    // Opens an existing event only; ENOENT when nobody created it.
    int Open(const std::string& name);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }

    int Set();
    // Clears a pending signal.
    void Reset();
    // Waits for the signal and consumes it. An event that is not open fails
    // at once, as a wait on an invalid handle does.
    WaitResult Wait();
    WaitResult Wait(std::chrono::milliseconds timeout);
    // As Wait(), but a signal handler that sets `cancel` ends the wait (the
    // handler must be installed without SA_RESTART).
    WaitResult Wait(const volatile std::sig_atomic_t& cancel);

    static int Remove(const std::string& name);

private:
    void* m_handle = nullptr;
};
