// Camera supervision end to end: the real client in the private X session
// with the generated test picture as its camera, the platform stand-in
// taking the snapshots, and everything checked from outside (X tools, the
// stand-in's journal and files, the named event, the fault sender).

#include <gtest/gtest.h>

#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/ipc/NamedEvent.h"
#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kPreviewTitle = "Qorvane 摄像头";
const std::string kTipStart = "摄像设备出现异常";
const std::string kSnapshotPath = "/lms/api/HanderReceiveImgInfo.ashx";
constexpr int kScreenWidth = 1280;
constexpr int kPreviewWidth = 640;
constexpr int kPreviewHeight = 480;
constexpr int kStripHeight = 15;
constexpr int kPageWaitMs = 30000;
constexpr int kPictureRetryMs = 300;
// Well below the upload's own 10 s limit: only the stop can have ended it.
constexpr int kStopAnswerMs = 5000;
const std::string kStripOpacity = "= 2139062143";  // 127/255 of 0xffffffff
const std::string kIpcPrefix = "qvcamtest" + std::to_string(getpid());

class CameraGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        m_env.Set("QORVANE_IPC_PREFIX", kIpcPrefix);
        m_port = FreeLocalPort();
        ASSERT_TRUE(m_platform.Start("PlatformStandin", {"--web", "0", "--update", "0", "--box",
                                                         "0", "--data", m_dir.file("platform")}))
            << m_platform.Failure();
        m_web = m_platform.Url("web");
        m_journal = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port,
                                {{"QORVANE_IPC_PREFIX", kIpcPrefix},
                                 {"QORVANE_CAMERA_SOURCE", "videotestsrc is-live=true"},
                                 {"QORVANE_CAMERA_SIZES", "1280x720,640x480"},
                                 {"QORVANE_SNAPSHOT_SECONDS", "1-2"}}))
            << m_client.Output();
    }
    void TearDown() override {
        Exam("StopExam");
        X11Session::Screenshot("end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    std::string Exam(const std::string& method, const std::string& extra = "") {
        return CallChannel(m_port, "/EXAMREQUEST.KIVO", method, extra, kPageWaitMs);
    }
    std::string StartCameraExam(const std::string& tag, const std::string& camera = "2") {
        std::string url = m_web + "/probe.html?tag=" + tag;
        std::string json =
            "[{\"userUid\":\"u1\",\"examUid\":\"e1\",\"examGradeUid\":\"g1\","
            "\"domainUrl\":\"" +
            url + "\",\"isTop\":\"true\",\"captureCamera\":\"" + camera + "\"}]";
        return Exam("StartExam", "&RequestArgs=" + HttpFetch::Encode(json));
    }

    // The preview is placed by itself (no window manager): found among all windows.
    unsigned long Preview() {
        std::string ids =
            X11Session::Run({"xdotool", "search", "--name", "^" + kPreviewTitle + "$"});
        return ids.empty() ? 0 : std::stoul(ids, nullptr, 10);
    }
    bool WaitPreviewAt(int wantedY, int& x, int& y) {
        auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(X11Session::kWaitMs);
        int width = 0, height = 0;
        while (std::chrono::steady_clock::now() < end) {
            unsigned long preview = Preview();
            if (preview && X11Session::IsViewable(preview) &&
                X11Session::Geometry(preview, x, y, width, height) && y == wantedY) {
                return width == kPreviewWidth && height == kPreviewHeight;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    // The test picture's second bar is yellow; the page behind is white.
    bool ShowsTestPicture(int x, int y) {
        std::string pixel;
        for (int waited = 0; waited < X11Session::kWaitMs; waited += kPictureRetryMs) {
            std::string shot = X11Session::Screenshot("preview");
            pixel = X11Session::Run(
                {"convert", shot, "-format",
                 "%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]", "info:"});
            int r = 0, g = 0, b = 0;
            if (sscanf(pixel.c_str(), "%*[^(](%d,%d,%d", &r, &g, &b) == 3 && r > 200 && g > 200 &&
                b < 60) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kPictureRetryMs));
        }
        ADD_FAILURE() << "last pixel " << pixel;
        return false;
    }
    std::string Opacity(unsigned long window) {
        char id[32];
        snprintf(id, sizeof(id), "0x%lx", window);
        return X11Session::Run({"xprop", "-id", id, "_NET_WM_WINDOW_OPACITY"});
    }
    std::vector<Json::Value> Snapshots() {
        std::vector<Json::Value> found;
        for (const Json::Value& entry : m_journal->Entries()) {
            if (entry["path"].asString() == kSnapshotPath) {
                found.push_back(entry);
            }
        }
        return found;
    }
    bool WaitSnapshots(size_t count) {
        return m_journal->WaitFor([&](const Json::Value&) { return Snapshots().size() >= count; },
                                  kPageWaitMs);
    }
    std::vector<X11Window> Tips() {
        std::vector<X11Window> tips;
        for (const X11Window& window : X11Session::Windows()) {
            if (window.title.rfind(kTipStart, 0) == 0) {
                tips.push_back(window);
            }
        }
        return tips;
    }
    bool WaitTipEndingWith(const std::string& end, X11Window& tip) {
        for (int waited = 0; waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
            std::vector<X11Window> tips = Tips();
            if (tips.size() == 1 && tips[0].title.size() >= end.size() &&
                tips[0].title.compare(tips[0].title.size() - end.size(), end.size(), end) == 0) {
                tip = tips[0];
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    int SendFault(const std::string& code) {
        int status = -1;
        X11Session::Run({std::string(QORVANE_BIN_DIR) + "/camera-fault", "--", code}, &status);
        return status;
    }
    bool CaptureFolderEmpty() {
        std::error_code ignored;
        return std::filesystem::is_empty(m_dir.file("data/CameraCapture"), ignored) && !ignored;
    }

    ScopedEnvironment m_env;
    TempDir m_dir;
    int m_port = 0;
    StandinProcess m_platform;
    std::string m_web;
    std::unique_ptr<JournalWatch> m_journal;
    ChildProcess m_client;
};

TEST_F(CameraGui, SupervisedExamShowsThePreviewAndUploadsNumberedSnapshots) {
    EXPECT_EQ(StartCameraExam("cam"), JsonpOk());
    EXPECT_TRUE(m_client.WaitForOutput(
        "Match camera width and height succ.  Request(640x480), camera(640x480)",
        X11Session::kWaitMs));

    // At the top centre, over the exam page: the test picture's grey bar, not the page's white.
    int x = 0, y = -1;
    ASSERT_TRUE(WaitPreviewAt(0, x, y));
    EXPECT_EQ(x, kScreenWidth / 2 - kPreviewWidth / 2);
    EXPECT_TRUE(ShowsTestPicture(x + 130, 200));

    // After four seconds only a strip stays, half transparent; a click brings it back.
    ASSERT_TRUE(WaitPreviewAt(kStripHeight - kPreviewHeight, x, y));
    unsigned long preview = Preview();
    EXPECT_NE(Opacity(preview).find(kStripOpacity), std::string::npos) << Opacity(preview);
    X11Session::Screenshot("strip");
    ASSERT_TRUE(X11Session::ClickAt(x + 100, 7));
    ASSERT_TRUE(WaitPreviewAt(0, x, y));
    EXPECT_EQ(Opacity(preview).find(kStripOpacity), std::string::npos) << Opacity(preview);
    ASSERT_TRUE(WaitPreviewAt(kStripHeight - kPreviewHeight, x, y)) << "and hides again";

    ASSERT_TRUE(WaitSnapshots(3));
    std::vector<Json::Value> sent = Snapshots();
    for (int n = 0; n < 3; ++n) {
        const Json::Value& form = sent[static_cast<size_t>(n)]["form"];
        EXPECT_EQ(form["examUid"]["value"].asString(), "e1");
        EXPECT_EQ(form["userUid"]["value"].asString(), "u1");
        EXPECT_EQ(form["image"]["filename"].asString(), "u1g1_" + std::to_string(n) + ".jpg");
    }
    EXPECT_TRUE(m_client.WaitForOutput("Upload camera img succ. http://127.0.0.1:" +
                                           std::to_string(m_platform.Port("web")) + kSnapshotPath,
                                       X11Session::kWaitMs));
    // What the server received decodes as 640x480 at quality 90.
    int decoded = 0;
    for (const auto& file : std::filesystem::directory_iterator(m_dir.file("platform/snapshots"))) {
        std::string info =
            X11Session::Run({"identify", "-format", "%m %w %h %Q", file.path().string()});
        EXPECT_EQ(info, "JPEG 640 480 90") << file.path();
        ++decoded;
    }
    EXPECT_GE(decoded, 3);

    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    EXPECT_EQ(Preview(), 0u);
    EXPECT_TRUE(CaptureFolderEmpty());
}

TEST_F(CameraGui, StopExamEndsAnUploadTheServerNeverAnswers) {
    HttpResult fault = HttpFetch::Post(
        m_web + "/_standin/faults",
        "{\"path\":\"" + kSnapshotPath + "\",\"delayMs\":120000,\"times\":1}", "application/json");
    ASSERT_EQ(fault.status, 200) << fault.body;
    EXPECT_EQ(StartCameraExam("hang"), JsonpOk());
    ASSERT_TRUE(WaitSnapshots(1));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), kStopAnswerMs);
    EXPECT_TRUE(m_client.WaitForOutput("Upload camera img failed.", X11Session::kWaitMs));
    EXPECT_EQ(Preview(), 0u);
    EXPECT_TRUE(CaptureFolderEmpty());
    EXPECT_EQ(Exam("CheckExamStatus").find("\"examStatus\":\"2\"") != std::string::npos, true);
}

TEST_F(CameraGui, TheStartButtonClosesTheCameraAndSignalsTheStartEvent) {
    NamedEvent started;
    ASSERT_EQ(started.CreateOrOpen("Qorvane_StartCamera"), 0);
    started.Reset();
    auto seen = std::async(std::launch::async, [&started] {
        return started.Wait(std::chrono::milliseconds(X11Session::kWaitMs));
    });
    EXPECT_EQ(StartCameraExam("start"), JsonpOk());
    int x = 0, y = -1;
    ASSERT_TRUE(WaitPreviewAt(0, x, y));
    // The whole preview shows for four seconds; a slow machine may see it
    // late. Clicked back from the strip, it gives the full four seconds.
    ASSERT_TRUE(WaitPreviewAt(kStripHeight - kPreviewHeight, x, y));
    // Not where the first test left the pointer: a move to where it already
    // is never completes for xdotool --sync.
    ASSERT_TRUE(X11Session::ClickAt(x + 160, 7));
    ASSERT_TRUE(WaitPreviewAt(0, x, y));
    // btn_start: the second button from the right in the top row.
    ASSERT_TRUE(X11Session::ClickAt(x + kPreviewWidth - 41, 15));
    EXPECT_EQ(seen.get(), NamedEvent::WaitResult::Signalled);
    for (int waited = 0; Preview() != 0 && waited < X11Session::kWaitMs;
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    EXPECT_EQ(Preview(), 0u);
    EXPECT_NE(Exam("CheckExamStatus").find("\"examStatus\":\"1\""), std::string::npos);
    // The exam window has forgotten it: the end of the exam is quiet.
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    NamedEvent::Remove("Qorvane_StartCamera");
}

TEST_F(CameraGui, AFaultReportedByAnotherProgramShowsOneTipUntilRecovered) {
    EXPECT_EQ(StartCameraExam("tip", "0"), JsonpOk());
    X11Window tip;
    ASSERT_EQ(SendFault("5"), 0);
    ASSERT_TRUE(WaitTipEndingWith("错误码：5", tip));
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(tip.id, x, y, width, height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, kScreenWidth);
    X11Session::Screenshot("tip");
    const unsigned long first = tip.id;

    ASSERT_EQ(SendFault("-1"), 0);
    ASSERT_TRUE(WaitTipEndingWith("错误码：-1", tip));
    EXPECT_EQ(tip.id, first) << "one window, its text updated";
    ASSERT_EQ(SendFault("5"), 0);
    ASSERT_TRUE(WaitTipEndingWith("错误码：5", tip));
    EXPECT_EQ(tip.id, first);
    ASSERT_EQ(SendFault("7"), 0);  // other codes change nothing

    ASSERT_EQ(SendFault("6"), 0);
    for (int waited = 0; !Tips().empty() && waited < X11Session::kWaitMs;
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    EXPECT_TRUE(Tips().empty());
    EXPECT_TRUE(m_client.Running());
}

}  // namespace
