// Whether a locked exam's keyboard grab locks the desktop, judged without a
// display, and Mutter's grab rules as Mutter applies them.

#include <gtest/gtest.h>

#include "exam/window/LockdownVerdict.h"
#include "platform/desktop/DesktopSession.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kAlreadyGrabbed = 1;
constexpr int kNotViewable = 3;

LockdownFacts Held(DesktopKind desktop) {
    LockdownFacts facts;
    facts.desktop = desktop;
    facts.grabStatus = kSuccess;
    facts.secondClientStatus = kAlreadyGrabbed;
    return facts;
}

TEST(LockdownVerdict, TheDesktopComesFromTheDisplayBeforeTheEnvironment) {
    EXPECT_EQ(ClassifyDesktop(false, "GNOME Shell", "GNOME"), DesktopKind::kXorg);
    EXPECT_EQ(ClassifyDesktop(true, "GNOME Shell", ""), DesktopKind::kMutter);
    EXPECT_EQ(ClassifyDesktop(true, "Mutter (Muffin)", "KDE"), DesktopKind::kMutter);
    EXPECT_EQ(ClassifyDesktop(true, "KWin", "GNOME"), DesktopKind::kKWin);
    EXPECT_EQ(ClassifyDesktop(true, "wlroots wm", ""), DesktopKind::kWlroots);
    EXPECT_EQ(ClassifyDesktop(true, "", "ubuntu:GNOME"), DesktopKind::kMutter);
    EXPECT_EQ(ClassifyDesktop(true, "", "KDE"), DesktopKind::kKWin);
    EXPECT_EQ(ClassifyDesktop(true, "", "sway"), DesktopKind::kWlroots);
    EXPECT_EQ(ClassifyDesktop(true, "", ""), DesktopKind::kOtherWayland);
}

TEST(LockdownVerdict, HoldsOnlyWhereTheCompositorGivesWayToTheGrab) {
    EXPECT_TRUE(JudgeLockdown(Held(DesktopKind::kXorg)).holds);
    EXPECT_TRUE(JudgeLockdown(Held(DesktopKind::kKWin)).holds);
    LockdownFacts mutter = Held(DesktopKind::kMutter);
    EXPECT_FALSE(JudgeLockdown(mutter).holds) << "the X-level grab alone leaves Super to Mutter";
    mutter.mutterGrants = true;
    EXPECT_TRUE(JudgeLockdown(mutter).holds);
    for (DesktopKind kind : {DesktopKind::kWlroots, DesktopKind::kOtherWayland}) {
        LockdownVerdict verdict = JudgeLockdown(Held(kind));
        EXPECT_FALSE(verdict.holds) << DesktopKindName(kind);
        EXPECT_FALSE(verdict.failure.empty());
        EXPECT_FALSE(verdict.keyboardBusy);
    }
}

TEST(LockdownVerdict, AGrabThatFailsOrDoesNotKeepOthersOutNeverHolds) {
    LockdownFacts busy = Held(DesktopKind::kXorg);
    busy.grabStatus = kAlreadyGrabbed;
    LockdownVerdict verdict = JudgeLockdown(busy);
    EXPECT_FALSE(verdict.holds);
    EXPECT_TRUE(verdict.keyboardBusy);

    LockdownFacts hidden = Held(DesktopKind::kMutter);
    hidden.mutterGrants = true;
    hidden.grabStatus = kNotViewable;
    EXPECT_FALSE(JudgeLockdown(hidden).holds);
    EXPECT_FALSE(JudgeLockdown(hidden).keyboardBusy);

    LockdownFacts leaky = Held(DesktopKind::kXorg);
    leaky.secondClientStatus = kSuccess;
    EXPECT_FALSE(JudgeLockdown(leaky).holds);
    LockdownFacts noX = Held(DesktopKind::kXorg);
    noX.grabStatus = -1;
    EXPECT_FALSE(JudgeLockdown(noX).holds);
}

TEST(LockdownVerdict, OnlyARequiredLockRefusesTheExam) {
    LockdownVerdict holds{true, {}};
    LockdownVerdict fails{false, "sway"};
    EXPECT_EQ(LockdownActionFor(holds, true), LockdownAction::kRun);
    EXPECT_EQ(LockdownActionFor(holds, false), LockdownAction::kRun);
    EXPECT_EQ(LockdownActionFor(fails, false), LockdownAction::kRunWithNotice);
    EXPECT_EQ(LockdownActionFor(fails, true), LockdownAction::kRefuse);
}

TEST(MutterGrabRules, DenyWinsThenTheAnnouncementOrAnAllowRuleGrants) {
    const std::string name = "CExamWnd", cls = "WindowImplBaseNew";
    EXPECT_TRUE(MutterGrantsGrab({}, name, cls, true));
    EXPECT_FALSE(MutterGrantsGrab({}, name, cls, false));
    EXPECT_FALSE(MutterGrantsGrab({"gnome-boxes", "Xephyr"}, name, cls, false));
    EXPECT_TRUE(MutterGrantsGrab({"Xephyr", "CExam*"}, name, cls, false));
    EXPECT_TRUE(MutterGrantsGrab({"WindowImpl?aseNew"}, name, cls, false));
    EXPECT_FALSE(MutterGrantsGrab({"cexamwnd"}, name, cls, false)) << "case-sensitive";
    EXPECT_FALSE(MutterGrantsGrab({"!*"}, name, cls, true));
    EXPECT_FALSE(MutterGrantsGrab({"CExamWnd", "!WindowImplBaseNew"}, name, cls, true));
    EXPECT_TRUE(MutterGrantsGrab({"!Xephyr"}, name, cls, true));
}

}  // namespace
