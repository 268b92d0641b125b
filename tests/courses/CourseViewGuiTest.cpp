// Course documents end to end: the real client in the private X session, the
// stand-in Office container it starts, the platform stand-in serving the
// documents, and everything checked from outside (the stand-ins' journals,
// /proc, the X window tree, the course cache on disk).

#include <gtest/gtest.h>

#include <json/json.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Chromium.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/OfficeStandin.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

constexpr int kWaitMs = 30000;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
// btn_close: 96 x 31 at y 9, 120 from the right edge.
constexpr int kCloseX = kScreenWidth - 120 + 48;
constexpr int kCloseY = 24;
// The message box (CMyMsgBox.xml): its size, OK and Yes.
constexpr int kBoxWidth = 340;
constexpr int kBoxHeight = 130;
constexpr int kBoxOkX = 170;
constexpr int kBoxYesX = 120;
constexpr int kBoxButtonY = 100;
const std::string kContainer = "QVOfficeContainer2003";
const std::string kOffice = "soffice.bin";

std::string ViewStatus(const std::string& status) {
    return JsonpStatus("learningStatus", status);
}

struct Course {
    std::string name = "第一课";
    std::string hash = "h1";
    std::string type = "docx";
    std::string document = "blank.docx";
    std::string userUid = "u1";
    bool preventHangup = false;
    int interval = 0;
};

class CourseViewGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        ASSERT_TRUE(m_platform.Start("PlatformStandin", {"--web", "0", "--update", "0", "--box",
                                                         "0", "--data", m_dir.file("platform")}))
            << m_platform.Failure();
        m_web = m_platform.Url("web");
        m_journal = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        m_officeBefore = PidsOfProgram(kOffice);
    }
    void StartViewClient(const std::string& containerOptions = "",
                         const std::string& programDir = "") {
        m_container.emplace(m_dir.file("container.log"));
        m_program = programDir.empty() ? ProgramFolderWithStandinContainer(m_dir) : programDir;
        ASSERT_FALSE(m_program.empty());
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port,
                                {{"QVOFFICE_STANDIN", containerOptions},
                                 {"QVOFFICE_STANDIN_JOURNAL", m_container->Path()}},
                                {}, m_program))
            << m_client.Output();
    }
    void TearDown() override {
        X11Session::Screenshot("course-view-end");
        if (m_client.Running()) {
            EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
        }
        // Office processes a course left on purpose (only this test's).
        for (int pid : PidsOfProgram(kOffice)) {
            if (std::find(m_officeBefore.begin(), m_officeBefore.end(), pid) ==
                m_officeBefore.end()) {
                kill(pid, SIGKILL);
            }
        }
    }

    std::string Channel(const std::string& path, const std::string& method,
                        const std::string& args = "") {
        return CallChannel(m_port, path, method,
                           args.empty() ? "" : "&RequestArgs=" + HttpFetch::Encode(args));
    }
    std::string CourseUrl(const Course& course) const {
        return m_web + "/course/" + course.document;
    }
    std::string View(const Course& course) {
        const std::string args =
            "[{\"userUid\":\"" + course.userUid + "\",\"domainUrl\":\"" + HttpFetch::Encode(m_web) +
            "\",\"courseUrl\":\"" + CourseUrl(course) + "\",\"Name\":\"" + course.name +
            "\",\"courseHash\":\"" + course.hash + "\",\"courseType\":\"" + course.type +
            "\",\"isTop\":\"false\",\"preventHangup\":\"" +
            (course.preventHangup ? "true" : "false") + "\",\"checkHangupIntev\":\"" +
            std::to_string(course.interval) + "\"}]";
        return Channel("/COURSEMANAGERREQUEST.KIVO", "StartViewCourse", args);
    }
    std::string Status() { return Channel("/COURSEMANAGERREQUEST.KIVO", "CheckViewCourse"); }
    std::string CachePath(const Course& course) const {
        return m_dir.file("data") + "/UserCourse/" + course.userUid + "/" + course.hash + "." +
               course.type;
    }
    int Downloads(const Course& course) {
        int count = 0;
        for (const Json::Value& entry : m_journal->Entries()) {
            count += entry["path"].asString() == "/course/" + course.document ? 1 : 0;
        }
        return count;
    }
    bool WaitEmbedded(unsigned long window) {
        char id[32];
        snprintf(id, sizeof(id), "0x%lx", window);
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            if (X11Session::Run({"xwininfo", "-tree", "-id", id}).find(kContainer) !=
                std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    // A click where the pointer may already be (mousemove --sync would wait
    // for a move that never comes).
    static void ClickClose() {
        X11Session::Run({"xdotool", "mousemove", std::to_string(kCloseX), std::to_string(kCloseY),
                         "click", "1"});
    }
    std::optional<unsigned long> WaitBox(int timeoutMs = kWaitMs) {
        return X11Session::WaitForWindowOfPid(m_client.Pid(), kBoxWidth, kBoxHeight, timeoutMs);
    }

    TempDir m_dir;
    std::string m_program;
    int m_port = FreeLocalPort();
    StandinProcess m_platform;
    std::string m_web;
    std::unique_ptr<JournalWatch> m_journal;
    std::optional<ContainerJournal> m_container;
    ChildProcess m_client;
    std::vector<int> m_officeBefore;
};

TEST_F(CourseViewGui, DocumentOpensInsideTheWindowAndClosingEndsWhatTheCourseStarted) {
    ChildProcess ownOffice;  // the learner's own, running before the course
    ASSERT_TRUE(ownOffice.Start({StandinDir() + "/" + kOffice}, {}));
    StartViewClient("spawn-office");
    EXPECT_EQ(Status(), ViewStatus("0"));
    const Course course;
    ASSERT_EQ(View(course), JsonpOk());
    auto window = X11Session::WaitForWindow(course.name);
    ASSERT_TRUE(window) << m_client.Output();
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    EXPECT_EQ(std::vector<int>({x, y, width, height}),
              std::vector<int>({0, 0, kScreenWidth, kScreenHeight - 30}));
    EXPECT_TRUE(
        m_client.WaitForOutput("download file [" + CourseUrl(course) + "] from [] succ", kWaitMs));
    std::string started;
    ASSERT_TRUE(m_container->WaitLine("started ", &started)) << m_client.Output();
    EXPECT_EQ(CommandLineOf(m_container->StartedPid()),
              std::vector<std::string>({m_program + "/" + kContainer, "0", CachePath(course), "0",
                                        "50", std::to_string(kScreenWidth),
                                        std::to_string(kScreenHeight - 80), "0"}));
    EXPECT_TRUE(WaitEmbedded(window->id));
    EXPECT_EQ(Status(), ViewStatus("1"));
    X11Session::Screenshot("course-view-open");

    ClickClose();
    EXPECT_TRUE(X11Session::WaitForWindowGone(course.name));
    EXPECT_TRUE(WaitNoProcessNamed(kContainer, 0));
    // The Office process started during the course is ended, the learner's stays.
    EXPECT_TRUE(WaitNoProcessNamed(kOffice, ownOffice.Pid()));
    EXPECT_TRUE(ownOffice.Running());
    EXPECT_FALSE(std::filesystem::exists(CachePath(course)));  // AutoDelCache is on
    EXPECT_EQ(Status(), ViewStatus("0"));
    EXPECT_EQ(Downloads(course), 1);
    ownOffice.Stop(9);
}

TEST_F(CourseViewGui, ThePortalsCourseButtonsOpenTheDocumentAndTheLearningPage) {
    if (!HaveChromium()) {
        GTEST_SKIP() << "chromium is not installed";
    }
    StartViewClient();
    // The portal in a real browser presses both buttons on load.
    const std::string channel = "http://127.0.0.1:" + std::to_string(m_port);
    TempDir browser;
    EXPECT_FALSE(LoadInChromium(browser, m_web + "/portal.html?channel=" + channel +
                                             "&run=StartViewCourse,StartLearning")
                     .empty());
    auto document = X11Session::WaitForWindow("blank.docx");
    ASSERT_TRUE(document) << m_client.Output();
    EXPECT_TRUE(WaitEmbedded(document->id));
    EXPECT_TRUE(
        std::filesystem::exists(m_dir.file("data/UserCourse/demo-user/hash-blank-docx.docx")));
    EXPECT_TRUE(X11Session::WaitForWindow("Qorvane 在线学习"));
}

TEST_F(CourseViewGui, ACachedDocumentOfAnUnknownTypeOpensWithoutDownloadAndEndsWithTheClient) {
    StartViewClient("spawn-office");
    Course course;
    course.hash = "h2";
    course.type = "DOCX";  // not a Word document: its Office process is not the course's
    std::filesystem::create_directories(m_dir.file("data/UserCourse/u1"));
    std::ofstream(CachePath(course)) << "cached";
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(m_container->WaitLine("started ")) << m_client.Output();
    EXPECT_EQ(Downloads(course), 0);

    // The client ends with the course open: its container goes with it.
    EXPECT_EQ(Channel("/COMMANDREQUEST.KIVO", "ExitProcess"), JsonpOk());
    EXPECT_EQ(m_client.Wait(kWaitMs), 0) << m_client.Output();
    EXPECT_TRUE(WaitNoProcessNamed(kContainer, 0));
    EXPECT_FALSE(WaitNoProcessNamed(kOffice, 0, 1000));  // still running
}

TEST_F(CourseViewGui, WithTheCacheKeptAClosedCourseOpensAgainWithoutADownload) {
    const std::string program =
        ProgramFolderWithStandinContainer(m_dir, "[AutoDelCache]\nAllow=0\n");
    ASSERT_FALSE(program.empty());
    StartViewClient("", program);
    const Course course;
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(m_container->WaitLine("started ")) << m_client.Output();
    ClickClose();
    ASSERT_TRUE(X11Session::WaitForWindowGone(course.name));
    EXPECT_TRUE(std::filesystem::exists(CachePath(course)));
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(m_container->WaitLine("started ", nullptr, kWaitMs, 2)) << m_client.Output();
    EXPECT_EQ(Downloads(course), 1);
}

TEST_F(CourseViewGui, AFailedDownloadTellsTheLearnerAndTheWindowStays) {
    StartViewClient();
    Course course;
    course.document = "missing.docx";
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(course.name)) << m_client.Output();
    EXPECT_TRUE(m_client.WaitForOutput(
        "download file [" + CourseUrl(course) + "] from [] failed errdesc [0:404]", kWaitMs));
    auto box = WaitBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(X11Session::ClickInWindow(*box, kBoxOkX, kBoxButtonY));
    EXPECT_EQ(Status(), ViewStatus("1"));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.file("data/UserCourse/u1")));
    EXPECT_TRUE(m_container->Lines().empty());
}

TEST_F(CourseViewGui, ACloseDuringASlowDownloadWaitsOutTheGuardAndEndsTheDownload) {
    StartViewClient();
    const Course course;
    HttpResult fault = HttpFetch::Post(
        m_web + "/_standin/faults",
        "{\"path\":\"/course/" + course.document + "\",\"delayMs\":60000,\"times\":1}",
        "application/json");
    ASSERT_EQ(fault.status, 200) << fault.body;
    const auto asked = std::chrono::steady_clock::now();
    // Answered before the download: the page does not wait for the document.
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(course.name)) << m_client.Output();
    ClickClose();
    if (std::chrono::steady_clock::now() - asked < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(Status(), ViewStatus("1")) << "a click within 3 s of the request closed it";
    }
    std::this_thread::sleep_for(std::chrono::seconds(3) -
                                (std::chrono::steady_clock::now() - asked));
    ClickClose();
    EXPECT_TRUE(X11Session::WaitForWindowGone(course.name));
    EXPECT_EQ(Status(), ViewStatus("0"));
    // The transfer ends within about a second and leaves nothing behind.
    const std::string folder = m_dir.file("data/UserCourse/u1");
    for (int waited = 0; waited < kWaitMs && !std::filesystem::is_empty(folder);
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(m_client.Running());
    EXPECT_TRUE(m_container->Lines().empty());
}

TEST_F(CourseViewGui, TheIdlePromptKeepsTheCourseOnYesAndClosesItWithoutAnAnswer) {
    StartViewClient();
    Course course;
    course.preventHangup = true;
    course.interval = 2;
    ASSERT_EQ(View(course), JsonpOk());
    ASSERT_TRUE(m_container->WaitLine("started ")) << m_client.Output();
    auto box = WaitBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(X11Session::ClickInWindow(*box, kBoxYesX, kBoxButtonY));
    // Kept; the prompt returns after the next interval, and nobody answers.
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(Status(), ViewStatus("1"));
    EXPECT_TRUE(X11Session::WaitForWindowGone(course.name, 15000));
    EXPECT_TRUE(WaitNoProcessNamed(kContainer, 0));
    EXPECT_EQ(Status(), ViewStatus("0"));
}

TEST_F(CourseViewGui, RequestsThatCannotNameACachedFileAreRefused) {
    StartViewClient();
    EXPECT_EQ(Channel("/COURSEMANAGERREQUEST.KIVO", "StartViewCourse",
                      "[{\"userUid\":\"u1\",\"domainUrl\":\"x\",\"courseUrl\":\"" + m_web +
                          "/course/blank.docx\"}]"),
              JsonpFailure("error json formart!"));
    EXPECT_TRUE(m_client.WaitForOutput("exam json error", kWaitMs));
    Course outside;
    outside.userUid = "../u2";
    EXPECT_EQ(View(outside), JsonpFailure("start course view fail"));
    EXPECT_EQ(Channel("/EXAMREQUEST.KIVO", "StartViewCourse"), JsonpFailure("unknown request"));
    EXPECT_EQ(Status(), ViewStatus("0"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("data/UserCourse")));
}

}  // namespace
