// The course manager page's rules without a window: status shown, the merge
// of a fresh list into the rows, the course area and the requests a start,
// stop or batch click makes.

#include <gtest/gtest.h>

#include "courses/manager/LessonListRules.h"

using namespace LessonListRules;

namespace {

LessonInfo Lesson(const char16_t* uid, int status = csStop, double rate = 0.0) {
    LessonInfo lesson;
    lesson.lessonUid = uid;
    lesson.lessonStatus = status;
    lesson.lessonDownRate = rate;
    return lesson;
}

}  // namespace

TEST(LessonListRules, FinishedLessonsShowOverUnlessPlaying) {
    EXPECT_EQ(ShownStatus(Lesson(u"a", csDown, 100.0)), csOver);
    EXPECT_EQ(ShownStatus(Lesson(u"a", csPlaying, 100.0)), csPlaying);
    EXPECT_EQ(ShownStatus(Lesson(u"a", csWait, 99.9)), csWait);
    EXPECT_STREQ(StateName(ShownStatus(Lesson(u"a", csDown, 100.0))), "csOver");
    EXPECT_STREQ(StatusImage(csWait), "btn_status_wait.png");
    EXPECT_EQ(StatusFromStateName("csPlaying"), csPlaying);
    EXPECT_EQ(StatusFromStateName("csStop"), csStop);
    EXPECT_EQ(StatusFromStateName("garbage"), csStop);
    EXPECT_EQ(ProgressText(42.9), u"    42%");
    EXPECT_EQ(ProgressText(100.0), u"   100%");
}

TEST(LessonListRules, CourseAreaGrowsByRowsUpToItsLimit) {
    EXPECT_EQ(CourseAreaHeight(3), 85);
    EXPECT_EQ(CourseAreaHeight(4), 110);
    EXPECT_EQ(CourseAreaHeight(5), 110);
    EXPECT_EQ(CourseAreaHeight(0), 10);
}

TEST(LessonListRules, RefreshUpdatesRemovesAndAppends) {
    // b and c vanished from consecutive rows: both go in one refresh.
    RefreshPlan plan = PlanRefresh({u"a", u"b", u"c", u"d"},
                                   {Lesson(u"e"), Lesson(u"d", csDown, 10), Lesson(u"a")});
    ASSERT_EQ(plan.updates.size(), 2u);
    EXPECT_EQ(plan.updates[0].first, 0u);
    EXPECT_EQ(plan.updates[0].second.lessonUid, u"a");
    EXPECT_EQ(plan.updates[1].first, 3u);
    EXPECT_EQ(plan.updates[1].second.lessonDownRate, 10);
    EXPECT_EQ(plan.removed, (std::vector<std::size_t>{1, 2}));
    ASSERT_EQ(plan.added.size(), 1u);
    EXPECT_EQ(plan.added[0].lessonUid, u"e");
}

TEST(LessonListRules, SingleRowStartAndStop) {
    // Finished rows are never sent; a start on one tells the learner.
    StatusDecision finished = DecideStatus(csOver, 100, 1);
    EXPECT_FALSE(finished.send);
    EXPECT_EQ(finished.result, csOver);
    StatusDecision playedOut = DecideStatus(csPlaying, 100, 1);
    EXPECT_FALSE(playedOut.send);
    EXPECT_EQ(playedOut.result, csOver);
    EXPECT_FALSE(DecideStatus(csDown, 50, 1).send);  // already downloading

    StatusDecision start = DecideStatus(csStop, 20, 1);
    EXPECT_TRUE(start.send);
    EXPECT_TRUE(start.showWanted);
    EXPECT_EQ(start.result, csStop);  // unchanged should the downloader refuse
    StatusDecision stopPlaying = DecideStatus(csPlaying, 40, 0);
    EXPECT_TRUE(stopPlaying.send);
    EXPECT_FALSE(stopPlaying.showWanted);  // the next refresh settles it
}

TEST(LessonListRules, BatchSkipsFinishedAndAlreadyWanted) {
    BatchPlan plan = PlanBatch({{0, u"stopped", csStop, 10},
                                {1, u"down", csDown, 10},
                                {2, u"over", csOver, 100},
                                {3, u"playing", csPlaying, 30},
                                {4, u"played", csPlaying, 100},
                                {5, u"waiting", csWait, 0}},
                               1);
    EXPECT_EQ(plan.lessons, (std::vector<std::u16string>{u"stopped", u"playing", u"waiting"}));
    EXPECT_EQ(plan.showWanted, (std::vector<std::size_t>{0, 5}));
}
