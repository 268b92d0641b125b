// No accepted answer is lost when the client dies at random moments.

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/exam/answers/AnswerCrashLoop.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRounds = 20;
constexpr int kMaxKillDelayMs = 300;
constexpr int kDeliveryWaitMs = 60000;

TEST(AnswerCrash, EveryAcceptedAnswerArrivesDespiteKillsWithTheDownloaderDown) {
    TempDir dir;
    setenv("QORVANE_REGISTRY_DIR", dir.file("registry").c_str(), 1);
    CrashLoopResult result = RunCrashLoop(dir.path().string(), kRounds, kMaxKillDelayMs,
                                          kDeliveryWaitMs);
    ASSERT_TRUE(result.ranAll) << result.failure;
    EXPECT_EQ(result.accepted, kRounds);
    EXPECT_EQ(result.delivered, result.accepted);
    RecordProperty("duplicates", result.duplicates);
    std::printf("accepted %d, delivered %d, duplicates %d\n", result.accepted, result.delivered,
                result.duplicates);
}

}  // namespace
