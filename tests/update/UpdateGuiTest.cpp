// The update offer as a learner meets it: a page asks the client through the
// channel, the window appears, the learner picks one of the three options.
// Checked from outside: the window on the X server, the learner's answer in
// the client's database, the installer the stand-in's server handed out.

#include <gtest/gtest.h>

#include <json/json.h>

#include <filesystem>

#include "foundation/Version.h"
#include "storage/LocalDatabase.h"
#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

// Versions after ours: one more part makes a version newer.
std::string Newer(int step) {
    return std::string(kClientVersion) + "." + std::to_string(step);
}

const std::string kUpdateTitle = "Qorvane 升级";
// Control centres in the window (AutoUpdate.xml).
constexpr int kOptionX = 40;
constexpr int kIgnoreY = 200;
constexpr int kOneDayY = 224;
constexpr int kUpdateY = 248;
constexpr int kOkX = 360;
constexpr int kOkY = 278;
constexpr int kCloseX = 400;
constexpr int kCloseY = 16;
constexpr int64_t kRangedSize = 3 * 1048576;

class UpdateGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port)) << m_client.Output();
    }
    void TearDown() override {
        X11Session::Screenshot("end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    void Serve(const std::string& version, const std::vector<std::string>& extra = {}) {
        m_server.Terminate();
        std::vector<std::string> args = {"--web",
                                         "0",
                                         "--update",
                                         "0",
                                         "--box",
                                         "0",
                                         "--data",
                                         m_dir.file("platform"),
                                         "--installer-version",
                                         version,
                                         "--installer-size",
                                         std::to_string(kRangedSize),
                                         "--installer-mark",
                                         m_dir.file("installed.jsonl")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_server.Start("PlatformStandin", args)) << m_server.Failure();
    }
    std::string CheckUpdate() {
        return HttpFetch::Get("http://127.0.0.1:" + std::to_string(m_port) +
                              "/COMMANDREQUEST.KIVO?MethodName=CheckUpdate&webAddr=" +
                              HttpFetch::Encode(m_server.Url("update")))
            .body;
    }
    // Shows the offer and picks an option; the window's id.
    unsigned long Choose(int optionY) {
        EXPECT_EQ(CheckUpdate(), "true");
        auto window = X11Session::WaitForWindow(kUpdateTitle);
        EXPECT_TRUE(window) << m_client.Output();
        if (!window) {
            return 0;
        }
        EXPECT_TRUE(X11Session::IsViewable(window->id));
        X11Session::Screenshot("offer");
        EXPECT_TRUE(X11Session::ClickInWindow(window->id, kOptionX, optionY));
        EXPECT_TRUE(X11Session::ClickInWindow(window->id, kOkX, kOkY));
        return window->id;
    }
    // The learner's stored answer for a version: "<type>" or "" when none.
    std::string StoredChoice(const std::string& version) {
        LocalDatabase db;
        db.SetPath(m_dir.file("data/Qorvane.db"));
        ExecSqlResult result =
            db.Exec("select type from tbl_AutoUpdate where ver='" + version + "'");
        return result.rowCount == 1 ? result.rows[0][0] : "";
    }

    TempDir m_dir;
    int m_port = FreeLocalPort();
    ChildProcess m_client;
    StandinProcess m_server;
};

TEST_F(UpdateGui, RemindLaterAndSkipAreStoredAndCloseTheWindow) {
    Serve(Newer(1));
    Choose(kOneDayY);
    EXPECT_TRUE(X11Session::WaitForWindowGone(kUpdateTitle));
    EXPECT_EQ(StoredChoice(Newer(1)), "1");
    EXPECT_EQ(CheckUpdate(), "false");  // asked again only tomorrow

    Serve(Newer(2));
    Choose(kIgnoreY);
    EXPECT_TRUE(X11Session::WaitForWindowGone(kUpdateTitle));
    EXPECT_EQ(StoredChoice(Newer(2)), "2");
    EXPECT_EQ(CheckUpdate(), "false");

    // Closing without a choice stores nothing; the offer comes again.
    Serve(Newer(3));
    EXPECT_EQ(CheckUpdate(), "true");
    auto window = X11Session::WaitForWindow(kUpdateTitle);
    ASSERT_TRUE(window);
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, kCloseX, kCloseY));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kUpdateTitle));
    EXPECT_EQ(StoredChoice(Newer(3)), "");
    EXPECT_EQ(CheckUpdate(), "true");
    EXPECT_TRUE(X11Session::WaitForWindow(kUpdateTitle));
}

TEST_F(UpdateGui, UpdateNowDownloadsStartsTheInstallerAndCloses) {
    // Each part a little late, so the download page is seen on its way.
    Serve(Newer(1), {"--fail", "path=/module/QorvaneSetup-" + Newer(1) + ".run,delay=40"});
    Choose(kUpdateY);
    JournalWatch installed(m_dir.file("installed.jsonl"));
    EXPECT_TRUE(
        installed.WaitFor([](const Json::Value& e) { return e["version"].asString() == Newer(1); },
                          X11Session::kWaitMs));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kUpdateTitle));
    EXPECT_EQ(std::filesystem::file_size(m_dir.file("data/QorvaneSetup-" + Newer(1) + ".run")),
              static_cast<uintmax_t>(kRangedSize));
    EXPECT_EQ(StoredChoice(Newer(1)), "");
}

TEST_F(UpdateGui, AFailedDownloadKeepsTheWindowAndStartsNothing) {
    Serve(Newer(1), {"--fail", "path=/module/QorvaneSetup-" + Newer(1) + ".run,status=500"});
    const unsigned long window = Choose(kUpdateY);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(m_client.WaitForOutput("download installer part 0 fail", X11Session::kWaitMs));
    // The failure is shown in the window, which stays until the learner closes it.
    EXPECT_FALSE(X11Session::WaitForWindowGone(kUpdateTitle, 2000));
    X11Session::Screenshot("failed", window);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("installed.jsonl")));
    ASSERT_TRUE(X11Session::ClickInWindow(window, kCloseX, kCloseY));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kUpdateTitle));
}

TEST_F(UpdateGui, ALockedExamHoldsTheOfferBack) {
    Serve("9.9.9.9");
    const std::string args =
        "[{\"domainUrl\":\"" + m_server.Url("web") + "/probe.html?tag=exam\",\"isTop\":\"true\"}]";
    ASSERT_NE(CallChannel(m_port, "/EXAMREQUEST.KIVO", "StartExam",
                          "&RequestArgs=" + HttpFetch::Encode(args))
                  .find("\"ok\""),
              std::string::npos);
    ASSERT_TRUE(X11Session::WaitForWindow("Qorvane 在线考试"));
    EXPECT_EQ(CheckUpdate(), "true");
    EXPECT_TRUE(m_client.WaitForOutput("update window held back", X11Session::kWaitMs));
    EXPECT_FALSE(X11Session::FindWindow(kUpdateTitle));
    CallChannel(m_port, "/EXAMREQUEST.KIVO", "StopExam");
}

}  // namespace
