#include "foundation/CLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/MockClock.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// Waits until the file holds `needle` (the writer runs on its own thread).
bool WaitForText(const std::string& path, const std::string& needle,
                 std::chrono::milliseconds limit = 10s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (ReadWholeFile(path).find(needle) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

std::string Line(char fill, size_t size) { return std::string(size, fill); }

TEST(CLog, FormatsPlainErrorAndDebugLines) {
    TempDir dir;
    std::string base = dir.file("svc");
    {
        CLog log;
        log.Open(base.c_str());
        EXPECT_EQ(0, log.Write("started %d", 7));
        EXPECT_EQ(0, log.Error("failed %s\n", "x"));
        EXPECT_EQ(0, log.Debug("buffer %d", 2));
        EXPECT_EQ(0, log.Write("%s", ""));
    }  // destruction writes what is pending
    std::string text = ReadWholeFile(base + "_0.log");
    std::regex expected(
        "\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] started 7\n"
        "\\[[^\\]]+\\] Error:failed x\n"
        "\\[[^\\]]+\\] Debug:buffer 2\n"
        "\\[[^\\]]+\\] \n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(CLog, DebugLinesFollowTheLevelAndLongMessagesAreCut) {
    CLog log;
    log.SetLevel(2);
    EXPECT_EQ(0, log.Debug("hidden"));
    EXPECT_EQ(0u, log.PendingSize());
    log.SetLevel(1);
    EXPECT_EQ(0, log.Debug("%s", Line('d', 20000).c_str()));
    size_t prefix = std::string("[2026-01-01 00:00:00.000] Debug:").size();
    EXPECT_EQ(prefix + CLog::kMessageBufferSize - 1 + 1, log.PendingSize());
}

TEST(CLog, ShortLineWaitsForTheDelayWhileAFullChunkGoesAtOnce) {
    TempDir dir;
    std::string base = dir.file("late");
    std::string path = base + "_0.log";
    MockClock clock;
    CLog log(CLog::Limits{}, clock);
    log.Open(base.c_str());

    log.Write("short line");
    clock.Advance(CLog::kWriteDelay - 1ms);
    // A chunk over the threshold wakes the writer at once; the short line
    // goes with it only because it was first in the pending text.
    log.Write("%s", Line('k', CLog::kWriteThreshold).c_str());
    ASSERT_TRUE(WaitForText(path, Line('k', CLog::kWriteThreshold)));
    EXPECT_NE(ReadWholeFile(path).find("short line"), std::string::npos);

    // Right after a write the delay starts over: a short line stays pending
    // until the whole delay has passed on the clock.
    log.Write("second line");
    clock.Advance(CLog::kWriteDelay - 1ms);
    EXPECT_GT(log.PendingSize(), 0u);
    clock.Advance(2ms);
    ASSERT_TRUE(WaitForText(path, "second line"));
}

TEST(CLog, RotatesThroughTheFilesAndWrapsToATruncatedFirstFile) {
    TempDir dir;
    std::string base = dir.file("rot");
    auto file = [&](int i) { return base + "_" + std::to_string(i) + ".log"; };
    WriteWholeFile(file(0), "kept from before\n");

    CLog log(CLog::Limits{3, 100});
    log.Open(base.c_str());
    // Each line exceeds the threshold, so each becomes one write of its own,
    // and each write fills a file.
    const char marks[] = {'a', 'b', 'c', 'd', 'e'};
    const int expectedFile[] = {0, 1, 2, 0, 1};
    for (int i = 0; i < 5; ++i) {
        std::string body = Line(marks[i], CLog::kWriteThreshold + 10);
        ASSERT_EQ(0, log.Write("%s", body.c_str()));
        ASSERT_TRUE(WaitForText(file(expectedFile[i]), body)) << "line " << i;
    }
    std::string first = ReadWholeFile(file(0));
    EXPECT_EQ(std::string::npos, first.find("kept from before"));
    EXPECT_EQ(std::string::npos, first.find(Line('a', 50)));
    EXPECT_NE(std::string::npos, first.find(Line('d', 50)));
    // The second file was full from the first round: it starts over as well.
    std::string second = ReadWholeFile(file(1));
    EXPECT_EQ(std::string::npos, second.find(Line('b', 50)));
    EXPECT_NE(std::string::npos, ReadWholeFile(file(2)).find(Line('c', 50)));
    EXPECT_FALSE(std::filesystem::exists(file(3)));
}

TEST(CLog, AppendsToAnExistingFileThatIsNotFull) {
    TempDir dir;
    std::string base = dir.file("app");
    WriteWholeFile(base + "_0.log", "earlier\n");
    {
        CLog log;
        log.Open(base.c_str());
        log.Write("later");
    }
    std::string text = ReadWholeFile(base + "_0.log");
    EXPECT_EQ(0u, text.find("earlier\n["));
    EXPECT_NE(std::string::npos, text.find("] later\n"));
}

TEST(CLog, DropsLinesWhileTheCapIsPending) {
    // Never opened, as in the recorder: lines only pile up.
    CLog log;
    std::string body = Line('p', 9000);
    int accepted = 0;
    while (log.Write("%s", body.c_str()) == 0) {
        ++accepted;
        ASSERT_LT(accepted, 5000);
    }
    size_t pending = log.PendingSize();
    EXPECT_GE(pending, CLog::kPendingLimit);
    EXPECT_LT(pending, CLog::kPendingLimit + 9100);
    EXPECT_EQ(-1, log.Error("still dropped"));
    EXPECT_EQ(pending, log.PendingSize());
}

TEST(CLog, ConcurrentWritersKeepWholeLinesAndLoseNone) {
    TempDir dir;
    std::string base = dir.file("many");
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;
    {
        CLog log;
        log.Open(base.c_str());
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&log, t] {
                for (int i = 0; i < kLines; ++i) {
                    log.Write("writer %d line %d %s", t, i, "tail");
                }
            });
        }
        for (std::thread& w : writers) {
            w.join();
        }
    }
    std::string text = ReadWholeFile(base + "_0.log");
    std::regex line("\\[[^\\]]+\\] writer (\\d) line (\\d+) tail\n");
    int count = 0;
    int next[kThreads] = {};
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
        int t = std::stoi((*it)[1]);
        // Each writer's lines stay in its own order.
        EXPECT_EQ(next[t], std::stoi((*it)[2]));
        next[t] = std::stoi((*it)[2]) + 1;
        ++count;
    }
    EXPECT_EQ(kThreads * kLines, count);
}

TEST(CLog, UnopenableFileFallsBackToStandardOutput) {
    TempDir dir;
    std::string base = dir.file("missing-folder/svc");
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    {
        CLog log;
        log.Open(base.c_str());
        log.Write("to the console");
    }
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("Open LOG " + base + "_0.log failed.")) << err;
    EXPECT_NE(std::string::npos, out.find("] to the console\n")) << out;
}

}  // namespace
