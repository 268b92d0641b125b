// The course manager page as a learner uses it: the real client in the
// private X session, the downloader stand-in with its simulated downloads,
// clicks from outside and the stand-in's journal of what the page asked.

#include <gtest/gtest.h>

#include <json/json.h>

#include <filesystem>

#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kTitle = "Qorvane";
constexpr int kWaitMs = 20000;
// Row centres and per-row buttons in the main window (MainFrame.xml and
// LessonListItem.xml): the list starts below the tabs and its header.
constexpr int kFirstRowY = 130;
constexpr int kRowHeight = 40;
constexpr int kStartX = 514;
constexpr int kStopX = 544;
constexpr int kDeleteX = 574;
constexpr int kCheckAllX = 20;
constexpr int kCheckAllY = 95;
constexpr int kTipDeleteX = 251;
constexpr int kTipBarY = 419;
constexpr int kRateX = 405;
constexpr int kBoxYesX = 140;
constexpr int kBoxYesY = 100;
constexpr int kMenuButtonX = 550;
constexpr int kMenuButtonY = 18;

class CourseManagerGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        ASSERT_TRUE(m_downloader.Start(
            "QorvaneService", {"-commandline", "--port", "0", "--data", m_dir.file("downloader"),
                               "--rate", "300000", "--report-channel", "none"}))
            << m_downloader.Failure();
        // Watched once the folder exists, so that waits wake on each new line.
        m_journal = std::make_unique<JournalWatch>(m_dir.file("downloader/journal.jsonl"));
        ASSERT_TRUE(StartClient(
            m_client, m_dir, FreeLocalPort(),
            {{"QORVANE_DOWNLOADER_PORT", std::to_string(m_downloader.Port("downloader"))}},
            {"-ShowNormal"}))
            << m_client.Output();
        auto window = X11Session::WaitForWindow(kTitle);
        ASSERT_TRUE(window) << m_client.Output();
        m_window = window->id;
        ASSERT_TRUE(Asked("GetUserLessonList", "demo-user"));
    }
    void TearDown() override {
        X11Session::Screenshot("end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    // Waits for the times-th course-manager request (counted from the
    // start) whose arguments hold `text`.
    bool Asked(const std::string& method, const std::string& text = "", int times = 1) {
        int seen = 0;
        for (const Json::Value& e : m_journal->Entries()) {
            seen += Matches(e, method, text) ? 1 : 0;
        }
        return seen >= times || m_journal->WaitFor(
                                    [&](const Json::Value& e) {
                                        return Matches(e, method, text) && ++seen >= times;
                                    },
                                    kWaitMs);
    }
    static bool Matches(const Json::Value& e, const std::string& method, const std::string& text) {
        return e["query"]["MethodName"].asString() == method &&
               e["query"]["RequstArgs"].asString().find(text) != std::string::npos;
    }
    // The rows of a user's list are shown once a refresh asked for it after the load.
    bool RowsShown(const std::string& user) { return Asked("GetUserLessonList", user, 2); }
    bool ClickRow(int row, int x) {
        return X11Session::ClickInWindow(m_window, x, kFirstRowY + row * kRowHeight);
    }
    // A fingerprint of what a part of the window shows.
    std::string Pixels(int x, int y, int width, int height) {
        const std::string shot = X11Session::Screenshot("part", m_window);
        return X11Session::Run({"convert", shot, "-crop",
                                std::to_string(width) + "x" + std::to_string(height) + "+" +
                                    std::to_string(x) + "+" + std::to_string(y),
                                "-format", "%#", "info:"});
    }
    // The confirmation box: another window titled like the main window.
    bool AnswerBoxYes() {
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            for (const X11Window& window : X11Session::Windows()) {
                if (window.title == kTitle && window.id != m_window) {
                    return X11Session::ClickInWindow(window.id, kBoxYesX, kBoxYesY);
                }
            }
            X11Session::Run({"sleep", "0.1"});
        }
        return false;
    }
    // SQL against the stand-in's own database, as its maintenance interface takes it.
    void StandinSql(const std::string& sql) {
        HttpFetch::Get(m_downloader.Url("downloader") +
                       "/EXECSQL.KIVO?Sql=" + HttpFetch::Encode(sql));
    }

    TempDir m_dir;
    StandinProcess m_downloader;
    ChildProcess m_client;
    unsigned long m_window = 0;
    std::unique_ptr<JournalWatch> m_journal;
};

TEST_F(CourseManagerGui, RowsStartStopAndDeleteTheDownloadersLessons) {
    // The first row is the first lesson of the stand-in's list.
    ASSERT_TRUE(RowsShown("demo-user"));
    const std::string before = Pixels(kRateX, kFirstRowY - 15, 60, 30);
    ASSERT_TRUE(ClickRow(0, kStartX));
    ASSERT_TRUE(Asked("StartPreDownLesson", "lesson-safety")) << m_client.Output();
    // The refresh shows the download moving on.
    bool moved = false;
    for (int i = 0; i < 20 && !moved; ++i) {
        X11Session::Run({"sleep", "0.5"});
        moved = Pixels(kRateX, kFirstRowY - 15, 60, 30) != before;
    }
    EXPECT_TRUE(moved);
    ASSERT_TRUE(ClickRow(0, kStopX));
    EXPECT_TRUE(Asked("StopPreDownLesson", "lesson-safety"));

    // A finished lesson is not sent again.
    ASSERT_TRUE(ClickRow(2, kStartX));
    ASSERT_TRUE(AnswerBoxYes());  // "STR_DOWN_COMPLETE", its OK button sits where Yes does
    EXPECT_FALSE(m_journal->WaitFor(
        [](const Json::Value& e) {
            return e["query"]["RequstArgs"].asString().find("lesson-quality") !=
                       std::string::npos &&
                   e["query"]["MethodName"].asString() == "StartPreDownLesson";
        },
        1000));

    ASSERT_TRUE(ClickRow(3, kDeleteX));
    ASSERT_TRUE(AnswerBoxYes());
    EXPECT_TRUE(Asked("DeletePreDownLesson", "lesson-service"));

    // Every row ticked: one request for all of them.
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kCheckAllX, kCheckAllY));
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kTipDeleteX, kTipBarY));
    ASSERT_TRUE(AnswerBoxYes());
    EXPECT_TRUE(Asked("DeleteAllPreDownLesson", "demo-user"));
}

TEST_F(CourseManagerGui, ANewDownloaderUserReloadsThePage) {
    StandinSql(
        "insert into lesson(userUid, lessonUid, lessonName, status, position) values "
        "('learner-2', 'lesson-new', 'New lesson', 0, 1)");
    StandinSql("update standinSetting set value='learner-2' where name='curUser'");
    ASSERT_TRUE(RowsShown("learner-2"));
    ASSERT_TRUE(ClickRow(0, kStartX));
    EXPECT_TRUE(Asked("StartPreDownLesson", "lesson-new"));
}

TEST_F(CourseManagerGui, ASlowDownloaderLeavesTheWindowResponsive) {
    HttpFetch::Post(m_downloader.Url("downloader") + "/_standin/faults",
                    "{\"path\":\"/COURSEMANAGERREQUEST.KIVO\",\"delayMs\":4000}",
                    "application/json");
    ASSERT_TRUE(Asked("GetCurServerInfo"));
    // While the refresh waits for the downloader, the window still opens its menu.
    ASSERT_TRUE(X11Session::ClickInWindow(m_window, kMenuButtonX, kMenuButtonY));
    bool menu = false;
    for (int i = 0; i < 10 && !menu; ++i) {
        X11Session::Run({"sleep", "0.2"});
        menu = X11Session::Run({"xwininfo", "-root", "-tree"}).find("\"CustomMenu\"") !=
               std::string::npos;
    }
    EXPECT_TRUE(menu);
}

}  // namespace
