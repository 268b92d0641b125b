#include "foundation/ClientLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

const std::regex kStampedLine(
    R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] (Warning: |Error: )?.*)");

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST(ClientLog, PrefixesAndNewlines) {
    TempDir dir;
    ClientLog log;
    log.Open(dir.file("QorvaneUI.log").c_str());
    log.Write("plain %d", 1);
    log.Warning("careful\n");
    log.Error("broken");
    log.Write("\n");
    const char* empty = "";
    log.Write(empty);  // writes nothing

    auto lines = Lines(ReadWholeFile(dir.file("QorvaneUI.log")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[0], kStampedLine));
    EXPECT_EQ(lines[0].substr(26), "plain 1");
    EXPECT_EQ(lines[1].substr(26), "Warning: careful");
    EXPECT_EQ(lines[2].substr(26), "Error: broken");
    EXPECT_EQ(lines[3], "");  // "\n" alone: an empty line, no timestamp
}

TEST(ClientLog, LongMessageIsCutAtBufferSize) {
    TempDir dir;
    ClientLog log;
    log.Open(dir.file("a.log").c_str());
    std::string huge(20000, 'x');
    log.Write("%s", huge.c_str());
    auto text = ReadWholeFile(dir.file("a.log"));
    // prefix (26 bytes) + 10239 characters + the added newline
    EXPECT_EQ(text.size(), 26u + ClientLog::kMessageBufferSize - 1 + 1);
}

TEST(ClientLog, RotatesToOldAtTenMegabytes) {
    TempDir dir;
    std::string path = dir.file("QorvaneUI.log");
    WriteWholeFile(path + ".old", "older rotation");
    WriteWholeFile(path, std::string(ClientLog::kRotateSize, 'a'));
    ClientLog log;
    log.Open(path.c_str());  // the opening itself rotates the full file
    log.Write("fresh");
    EXPECT_EQ(std::filesystem::file_size(path + ".old"),
              static_cast<uintmax_t>(ClientLog::kRotateSize));
    auto lines = Lines(ReadWholeFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(26), "fresh");
}

TEST(ClientLog, BeforeOpenLinesGoToStandardOutputOnly) {
    TempDir dir;
    ClientLog log;
    testing::internal::CaptureStdout();
    log.Write("early");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("] early\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ClientLog, UnwritablePathFallsBackToStandardOutput) {
    ClientLog log;
    testing::internal::CaptureStderr();
    log.Open("/nonexistent-folder/x/QorvaneUI.log");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Open LOG /nonexistent-folder/x/QorvaneUI.log failed."), std::string::npos);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    log.Write("still logged");
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("still logged"), std::string::npos);
}

TEST(ClientLog, ConcurrentWritersNeverInterleave) {
    TempDir dir;
    ClientLog log;
    log.Open(dir.file("c.log").c_str());
    testing::internal::CaptureStdout();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&log, t] {
            std::string body(300, static_cast<char>('a' + t));
            for (int i = 0; i < 200; ++i) {
                log.Write("%s", body.c_str());
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    testing::internal::GetCapturedStdout();
    auto lines = Lines(ReadWholeFile(dir.file("c.log")));
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines) {
        ASSERT_TRUE(std::regex_match(line, kStampedLine));
        std::string body = line.substr(26);
        ASSERT_EQ(body.size(), 300u);
        ASSERT_EQ(body.find_first_not_of(body[0]), std::string::npos);
    }
}

}  // namespace
