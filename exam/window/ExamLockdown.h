#pragma once

#include <cstdint>

// The rules of the exam lock-down, free of any window so tests can drive them.

// Keys an exam with lock-down swallows: Tab (and Shift+Tab), Escape and the
// Super keys, which the X11 toolkit reports as Meta or Super. Qt key codes.
bool IsLockedKey(int qtKey);

// Timer 1 of the exam window: the window puts itself back on top after a
// quiet spell, never while the learner is typing.
class CTopmostRule {
public:
    static constexpr int64_t kTypingWindowMs = 5000;
    static constexpr int64_t kReassertQuietMs = 20000;

    // A fresh exam: no typing seen, so the first tick re-asserts.
    void Reset() {
        m_keyboardActive = false;
        m_lastKeyMs = 0;
    }
    void OnKeyDown(int64_t nowMs) {
        m_lastKeyMs = nowMs;
        m_keyboardActive = true;
    }
    // True when the window should put itself on top now.
    bool OnTick(int64_t nowMs);

    bool KeyboardActive() const { return m_keyboardActive; }

private:
    bool m_keyboardActive = false;
    int64_t m_lastKeyMs = 0;
};

// Milliseconds of a clock that only moves forward (wall time, not CPU time).
int64_t MonotonicMs();
