#include "exam/window/ExamLockdown.h"

#include <Qt>

#include <chrono>

bool IsLockedKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            return true;
        default:
            return false;
    }
}

bool CTopmostRule::OnTick(int64_t nowMs) {
    int64_t elapsed = nowMs - m_lastKeyMs;
    if (elapsed >= kTypingWindowMs) {
        m_keyboardActive = false;
    }
    if (!m_keyboardActive && elapsed >= kReassertQuietMs) {
        m_lastKeyMs = nowMs;
        return true;
    }
    return false;
}

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
