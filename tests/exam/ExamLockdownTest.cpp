// The lock-down rules of the exam window, driven without a display.

#include <gtest/gtest.h>

#include <Qt>

#include "exam/window/ExamLockdown.h"

namespace {

TEST(ExamLockdown, SwallowsOnlyTheTaskSwitchingKeys) {
    for (int key : {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Escape, Qt::Key_Meta, Qt::Key_Super_L,
                    Qt::Key_Super_R}) {
        EXPECT_TRUE(IsLockedKey(key)) << key;
    }
    for (int key : {Qt::Key_A, Qt::Key_Alt, Qt::Key_Control, Qt::Key_Return, Qt::Key_F4,
                    Qt::Key_Space, Qt::Key_Backspace}) {
        EXPECT_FALSE(IsLockedKey(key)) << key;
    }
}

TEST(TopmostRule, FirstTickOfAFreshExamReassertsThenWaitsTwentyQuietSeconds) {
    CTopmostRule rule;
    rule.Reset();
    const int64_t start = 1000000;
    EXPECT_TRUE(rule.OnTick(start));
    EXPECT_FALSE(rule.OnTick(start + 1000));
    EXPECT_FALSE(rule.OnTick(start + CTopmostRule::kReassertQuietMs - 1));
    EXPECT_TRUE(rule.OnTick(start + CTopmostRule::kReassertQuietMs));
    EXPECT_FALSE(rule.OnTick(start + CTopmostRule::kReassertQuietMs + 1000));
}

TEST(TopmostRule, TypingPostponesTheReassertAndGoesQuietAfterFiveSeconds) {
    CTopmostRule rule;
    rule.Reset();
    int64_t now = 5000000;
    EXPECT_TRUE(rule.OnTick(now));
    // Continuous typing: never re-asserted.
    for (int second = 1; second <= 60; ++second) {
        rule.OnKeyDown(now + second * 1000 - 10);
        EXPECT_FALSE(rule.OnTick(now + second * 1000)) << second;
        EXPECT_TRUE(rule.KeyboardActive());
    }
    int64_t lastKey = now + 60 * 1000 - 10;
    EXPECT_FALSE(rule.OnTick(lastKey + CTopmostRule::kTypingWindowMs));
    EXPECT_FALSE(rule.KeyboardActive());
    EXPECT_TRUE(rule.OnTick(lastKey + CTopmostRule::kReassertQuietMs));
}

TEST(TopmostRule, MonotonicClockNeverGoesBack) {
    int64_t first = MonotonicMs();
    EXPECT_GE(MonotonicMs(), first);
}

}  // namespace
