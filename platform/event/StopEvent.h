#pragma once

// An event that stays set once set (a stop request): every thread waiting on
// it wakes, and it can be waited on together with one other descriptor (a
// signal descriptor, a child's pidfd). Safe to set from any thread.
class StopEvent {
public:
    StopEvent();
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    // False when the kernel refused the event; waits then only time out.
    bool Valid() const { return m_descriptor >= 0; }
    void Set();
    bool IsSet() const;

    // Waits up to ms (-1: for ever); true when the event is set.
    bool WaitFor(int ms) const;

    enum class Wake { kEvent, kOther, kTimeout, kFailed };
    // Waits up to ms (-1: for ever) for the event or for `other` to become
    // readable; the event wins when both are ready.
    Wake WaitWith(int other, int ms) const;

    // For waits of other facilities that take a wake-up descriptor.
    int Descriptor() const { return m_descriptor; }

private:
    int m_descriptor = -1;
};
