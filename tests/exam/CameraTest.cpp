// Camera supervision without a display: the format rule and its log line,
// the knobs, the snapshot thread on a mock clock, and the capture itself on
// the media framework's generated test picture.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "exam/camera/CameraSettings.h"
#include "exam/camera/SnapshotWorker.h"
#include "platform/camera/CameraCapture.h"
#include "tests/support/MockClock.h"
#include "tests/support/TempDir.h"

namespace {

constexpr const char* kTestSource = "videotestsrc is-live=true";

TEST(CameraFormat, TheSizeClosestTo640x480WinsAndTheLineSaysWhetherItMatched) {
    CameraFormatChoice wide = ChooseCameraFormat({{1280, 720}, {640, 480}});
    EXPECT_EQ(wide.index, 1);
    EXPECT_TRUE(wide.exact);
    EXPECT_EQ(FormatMatchLine(wide),
              "Match camera width and height succ.  Request(640x480), camera(640x480)");

    CameraFormatChoice small = ChooseCameraFormat({{320, 240}});
    EXPECT_EQ(small.size, (CameraSize{320, 240}));
    EXPECT_EQ(FormatMatchLine(small),
              "Match camera width and height failed.  Request(640x480), camera(320x240)");

    // 480x480 and 640x600 are 76800 pixels off either way: the first stays.
    EXPECT_EQ(ChooseCameraFormat({{1920, 1080}, {480, 480}, {640, 600}}).index, 1);
    EXPECT_EQ(ChooseCameraFormat({{640, 600}, {480, 480}}).index, 0);

    CameraFormatChoice none = ChooseCameraFormat({});
    EXPECT_EQ(none.index, -1);
    EXPECT_EQ(FormatMatchLine(none),
              "Match camera width and height failed.  Request(640x480), camera(0x0)");
}

TEST(CameraKnobs, SizesAndIntervalsAreReadWholeOrNotAtAll) {
    std::vector<CameraSize> sizes{{1, 1}};
    EXPECT_TRUE(ParseCameraSizes("1280x720,640x480", sizes));
    EXPECT_EQ(sizes, (std::vector<CameraSize>{{1280, 720}, {640, 480}}));
    for (const char* bad :
         {"", "640x480,", "640x", "x480", "0x480", "640*480", "640x480 ", "-1x2"}) {
        std::vector<CameraSize> kept{{7, 7}};
        EXPECT_FALSE(ParseCameraSizes(bad, kept)) << bad;
        EXPECT_EQ(kept, (std::vector<CameraSize>{{7, 7}})) << bad;
    }

    SnapshotInterval interval;
    EXPECT_TRUE(ParseSnapshotInterval("1-2", interval));
    EXPECT_EQ(interval.minSeconds, 1);
    EXPECT_EQ(interval.maxSeconds, 2);
    for (const char* bad : {"", "5", "2-1", "0-3", "1-", "-2", "a-b", "1-2-3"}) {
        SnapshotInterval kept{11, 12};
        EXPECT_FALSE(ParseSnapshotInterval(bad, kept)) << bad;
        EXPECT_EQ(kept.minSeconds, 11) << bad;
    }
    EXPECT_EQ(SnapshotPath("/d/CameraCapture", "u1g1", 2), "/d/CameraCapture/u1g1_2.jpg");
}

TEST(SnapshotWorker, CountsFromZeroDeliversOnlyRealPicturesAndStopsAWaitAtOnce) {
    TempDir dir;
    const std::string folder = dir.file("data/CameraCapture");
    MockClock clock;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> captured;
    std::vector<std::string> delivered;
    auto capture = [&](const std::string& path) {
        std::lock_guard<std::mutex> hold(lock);
        captured.push_back(std::filesystem::path(path).filename().string());
        const bool noPicture = captured.size() == 2;
        if (!noPicture) {
            std::ofstream(path) << "jpeg";
        }
        changed.notify_all();
        return noPicture ? -1 : 0;
    };
    auto deliver = [&](const std::string& path, const std::function<bool()>& stopped) {
        EXPECT_FALSE(stopped());
        std::lock_guard<std::mutex> hold(lock);
        delivered.push_back(std::filesystem::path(path).filename().string());
        std::filesystem::remove(path);
        changed.notify_all();
    };
    CSnapshotWorker worker(clock);
    ASSERT_TRUE(worker.Start(folder, "u1g1", {1, 1}, capture, deliver));
    EXPECT_FALSE(worker.Start(folder, "u1g1", {1, 1}, capture, deliver));
    {
        // Time moves a second at a time until the third picture was handed on.
        std::unique_lock<std::mutex> hold(lock);
        while (delivered.size() < 2) {
            hold.unlock();
            clock.Advance(std::chrono::seconds(1));
            hold.lock();
            changed.wait_for(hold, std::chrono::milliseconds(50));
        }
    }
    // Waiting for the fourth: the stop needs no time to pass.
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(captured, (std::vector<std::string>{"u1g1_0.jpg", "u1g1_1.jpg", "u1g1_2.jpg"}));
    EXPECT_EQ(delivered, (std::vector<std::string>{"u1g1_0.jpg", "u1g1_2.jpg"}));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// Width and height from a JPEG's frame header.
bool JpegSize(const std::string& path, int& width, int& height) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xD8) {
        return false;
    }
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
        if (at(i) == 0xFF && (at(i + 1) == 0xC0 || at(i + 1) == 0xC2)) {
            height = at(i + 5) << 8 | at(i + 6);
            width = at(i + 7) << 8 | at(i + 8);
            return true;
        }
    }
    return false;
}

TEST(CameraCapture, TheTestPictureRunsAtTheChosenSizeAndGivesJpegSnapshots) {
    TempDir dir;
    CCameraCapture capture;
    std::atomic<int> pictures{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};
    int result = capture.Init({kTestSource, {{1280, 720}, {640, 480}}},
                              [&](const unsigned char*, int w, int h, int stride) {
                                  EXPECT_GE(stride, w * 4);
                                  width = w;
                                  height = h;
                                  ++pictures;
                              });
    ASSERT_EQ(result, 0) << capture.ErrorText();
    EXPECT_TRUE(capture.Running());
    EXPECT_GT(pictures.load(), 0) << "open means a picture has arrived";
    EXPECT_EQ(width.load(), 640);
    EXPECT_EQ(height.load(), 480);
    EXPECT_EQ(capture.VideoWidth(), 640);

    for (const char* name : {"a.jpg", "b.jpg"}) {
        ASSERT_EQ(capture.Snapshot(dir.file(name)), 0) << capture.ErrorText();
        int w = 0, h = 0;
        EXPECT_TRUE(JpegSize(dir.file(name), w, h)) << name;
        EXPECT_EQ(w, 640);
        EXPECT_EQ(h, 480);
    }
    // A folder that does not exist: no picture file, and a clear failure.
    EXPECT_EQ(capture.Snapshot(dir.file("missing/c.jpg")), -1);

    capture.Stop();
    const int stoppedAt = pictures.load();
    EXPECT_FALSE(capture.Running());
    EXPECT_EQ(capture.Snapshot(dir.file("d.jpg")), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("d.jpg")));
    EXPECT_EQ(pictures.load(), stoppedAt);
}

TEST(CameraCapture, SourcesThatCannotDeliverFailToOpen) {
    CCameraCapture capture;
    auto ignore = [](const unsigned char*, int, int, int) {};
    EXPECT_EQ(capture.Init({"no_such_element_here", {{640, 480}}}, ignore),
              CCameraCapture::kNoCamera);
    EXPECT_FALSE(capture.FormatChosen());

    EXPECT_EQ(capture.Init({kTestSource, {}}, ignore), CCameraCapture::kNoFormat);
    EXPECT_TRUE(capture.FormatChosen());
    EXPECT_EQ(capture.Format().index, -1);

    // Opens, but ends before its first picture.
    EXPECT_EQ(capture.Init({"videotestsrc num-buffers=0", {{640, 480}}}, ignore),
              CCameraCapture::kNoPictures);
    EXPECT_FALSE(capture.Running());
}

}  // namespace
