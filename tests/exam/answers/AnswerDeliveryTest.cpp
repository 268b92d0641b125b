// Handed-in answers through the real client: the channel's SubmitExamAnswers,
// the downloader's table, the platform server and its boxes as stand-in
// processes, and the shutdown block on logind's mock.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "foundation/Version.h"
#include "tests/exam/answers/AnswerPeers.h"
#include "tests/support/HttpFetch.h"

namespace {

constexpr int kRowReads = 100;
constexpr int kRowReadPauseMs = 20;

class AnswerDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_logind.Start()) {
            GTEST_SKIP() << "needs dbus-run-session, gdbus and python3-dbusmock";
        }
        setenv("QORVANE_REGISTRY_DIR", m_dir.file("registry").c_str(), 1);
        StartDownloader();
    }

    void StartDownloader() {
        ASSERT_TRUE(m_downloader.Start(
            "QorvaneService",
            {"-commandline", "--port", std::to_string(m_downloaderPort), "--data",
             m_dir.file("downloader"), "--journal", m_dir.file("downloader.jsonl"), "--user",
             "learner-1", "--report-channel", "none"}))
            << m_downloader.Failure();
        m_downloaderPort = m_downloader.Port("downloader");
    }

    // box: the isSuccess text the one box answers; fail: rules for the server.
    void StartPlatform(const std::string& box, const std::vector<std::string>& fail = {}) {
        std::vector<std::string> args = {"--web",     "0",
                                         "--update",  "0",
                                         "--box",     "0=" + box,
                                         "--data",    m_dir.file("platform"),
                                         "--journal", m_dir.file("platform.jsonl"),
                                         "--channel", "none"};
        for (const std::string& rule : fail) {
            args.push_back("--fail");
            args.push_back(rule);
        }
        ASSERT_TRUE(m_platform.Start("PlatformStandin", args)) << m_platform.Failure();
        m_web = m_platform.Url("web");
    }

    void StartClient(const std::map<std::string, std::string>& extra = {}) {
        ASSERT_TRUE(m_client.Start(m_downloaderPort, extra)) << m_client.Process().Output();
    }

    bool WaitForPost(const std::string& path, size_t count = 1) {
        return m_platformJournal.WaitFor(
            [&, seen = size_t{0}](const Json::Value& entry) mutable {
                return IsPost(entry, path) && ++seen >= count;
            },
            kDeliveryWaitMs);
    }
    bool WaitForDeliveredRow(const std::string& exam) {
        return m_downloaderJournal.WaitFor(
            [&](const Json::Value& entry) {
                const std::string sql = entry["query"]["Sql"].asString();
                return sql.rfind("update examAnswer set status='1'", 0) == 0 &&
                       sql.find("examId='" + exam + "'") != std::string::npos;
            },
            kDeliveryWaitMs);
    }
    // The journal has a request before the downloader ran it: read the row
    // until the statement has landed.
    std::pair<std::string, std::string> SettledRow(const std::string& exam,
                                                   const std::string& status) {
        std::pair<std::string, std::string> row;
        for (int attempt = 0; attempt < kRowReads; ++attempt) {
            row = DownloaderRows(m_downloader.Url("downloader"))[exam];
            if (row.second == status) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kRowReadPauseMs));
        }
        return row;
    }

    bool WaitForLog(const std::string& text) {
        return m_client.Process().WaitForOutput(text, kDeliveryWaitMs) ||
               m_client.Log().find(text) != std::string::npos;
    }

    TempDir m_dir;
    LogindMock m_logind;
    int m_downloaderPort = 0;
    StandinProcess m_downloader;
    StandinProcess m_platform;
    std::string m_web;
    ClientProcess m_client{m_dir};
    JournalWatch m_platformJournal{m_dir.file("platform.jsonl")};
    JournalWatch m_downloaderJournal{m_dir.file("downloader.jsonl")};
};

TEST_F(AnswerDelivery, TheServerTakesItAndEveryByteArrives) {
    StartPlatform("true");
    StartClient();
    const std::string body = AnswerBody(m_web, "exam-1");
    EXPECT_EQ(m_client.Submit(body), kOkAnswer);
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    std::vector<Json::Value> posts = Posts(m_platformJournal, kAnswerPath);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0]["body"].asString(), body);
    auto row = SettledRow("exam-1", "1");
    EXPECT_EQ(row.first, body);
    EXPECT_EQ(row.second, "1");
    EXPECT_TRUE(Posts(m_platformJournal, kBoxPath).empty());
    EXPECT_EQ(m_logind.Inhibitors(), "(@a(ssssuu) [],)\n");

    // A second hand-in of the same run goes out as well.
    EXPECT_EQ(m_client.Submit(AnswerBody(m_web, "exam-2")), kOkAnswer);
    EXPECT_TRUE(WaitForDeliveredRow("exam-2"));
    EXPECT_EQ(m_client.Stop(), 0);
}

TEST_F(AnswerDelivery, ServerDownABoxThatSaysTrueTakesIt) {
    StartPlatform("true", {std::string("path=") + kAnswerPath + ",status=503"});
    StartClient();
    const std::string body = AnswerBody(m_web, "exam-1");
    EXPECT_EQ(m_client.Submit(body), kOkAnswer);
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    std::vector<Json::Value> boxed = Posts(m_platformJournal, kBoxPath);
    ASSERT_EQ(boxed.size(), 1u);
    EXPECT_EQ(boxed[0]["body"].asString(), body);
    EXPECT_EQ(boxed[0]["query"]["cmd"].asString(), "submmit_exam_answer");
}

TEST_F(AnswerDelivery, ABoxThatSaysNoLeavesItPendingUnderTheBlockUntilTheServerHeals) {
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",status=503"});
    StartClient();
    EXPECT_EQ(m_client.Submit(AnswerBody(m_web, "exam-1")), kOkAnswer);
    // Retried without a new submission.
    ASSERT_TRUE(WaitForPost(kBoxPath, 3));
    const std::string held = m_logind.Inhibitors();
    EXPECT_NE(held.find("'shutdown', 'Qorvane'"), std::string::npos) << held;
    EXPECT_NE(held.find("'block'"), std::string::npos) << held;
    EXPECT_NE(held.find("'delay'"), std::string::npos) << held;
    EXPECT_EQ(SettledRow("exam-1", "0").second, "0");

    HttpFetch::Send("DELETE", m_web + "/_standin/faults", "", "text/plain");
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    EXPECT_TRUE(WaitForLog("shutdown block released"));
    EXPECT_EQ(m_logind.Inhibitors(), "(@a(ssssuu) [],)\n");
}

TEST_F(AnswerDelivery, TheServerFailingThreeTimesStillGetsItWithoutANewSubmission) {
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",status=500,times=3"});
    StartClient();
    EXPECT_EQ(m_client.Submit(AnswerBody(m_web, "exam-1")), kOkAnswer);
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    EXPECT_EQ(Posts(m_platformJournal, kAnswerPath).size(), 4u);
}

TEST_F(AnswerDelivery, TheSystemGoingDownGetsOneLastAttemptWithinTheDelay) {
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",status=503"});
    // No retry of its own comes before the shutdown does.
    StartClient({{"QORVANE_ANSWER_RETRY_MS", "300000"}});
    EXPECT_EQ(m_client.Submit(AnswerBody(m_web, "exam-1")), kOkAnswer);
    ASSERT_TRUE(WaitForPost(kBoxPath));
    ASSERT_TRUE(WaitForLog("shutdown block held"));
    const size_t before = Posts(m_platformJournal, kAnswerPath).size();
    HttpFetch::Send("DELETE", m_web + "/_standin/faults", "", "text/plain");
    RunCommand(
        "gdbus call --system --dest org.freedesktop.login1 --object-path "
        "/org/freedesktop/login1 --method org.freedesktop.DBus.Mock.EmitSignal "
        "org.freedesktop.login1.Manager PrepareForShutdown b '[<true>]'");
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    // One attempt, and it came from the shutdown.
    EXPECT_EQ(Posts(m_platformJournal, kAnswerPath).size(), before + 1);
    EXPECT_NE(m_client.Log().find("last delivery attempt"), std::string::npos);
    EXPECT_TRUE(WaitForLog("shutdown block released"));
}

TEST_F(AnswerDelivery, ALaterSubmissionOfTheSameExamIsTheOneDelivered) {
    // The first delivery is slow, so the second hand-in arrives meanwhile.
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",delay=1500,status=503,times=1"});
    StartClient();
    const std::string first = AnswerBody(m_web, "exam-1", "first");
    const std::string second = AnswerBody(m_web, "exam-1", "second");
    EXPECT_EQ(m_client.Submit(first), kOkAnswer);
    ASSERT_TRUE(WaitForPost(kAnswerPath));
    EXPECT_EQ(m_client.Submit(second), kOkAnswer);
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    std::vector<Json::Value> posts = Posts(m_platformJournal, kAnswerPath);
    ASSERT_GE(posts.size(), 2u);
    EXPECT_EQ(posts.back()["body"].asString(), second);
    auto row = SettledRow("exam-1", "1");
    EXPECT_EQ(row.first, second);
    EXPECT_EQ(row.second, "1");
    EXPECT_EQ(DownloaderRows(m_downloader.Url("downloader")).size(), 1u);
}

TEST_F(AnswerDelivery, NotJsonIsRefusedAndNothingIsStored) {
    StartPlatform("true");
    StartClient();
    EXPECT_EQ(
        m_client.Submit(""),
        R"(cb([{"errorCode":"-1","errorMsg":"error json formart!","isSuccess":"false","version":")" +
            std::string(kClientVersion) + R"("}]))");
    EXPECT_EQ(
        m_client.Submit("{\"userUid\":\"x\"}").find("error json formart!") != std::string::npos,
        true);
    EXPECT_TRUE(DownloaderRows(m_downloader.Url("downloader")).empty());
}

TEST_F(AnswerDelivery, AKilledClientWithTheDownloaderDownDeliversAfterItsRestart) {
    m_downloader.Terminate();
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",status=503"});
    StartClient();
    const std::string body = AnswerBody(m_web, "exam-1");
    EXPECT_EQ(m_client.Submit(body), kOkAnswer);
    m_client.Kill();

    HttpFetch::Send("DELETE", m_web + "/_standin/faults", "", "text/plain");
    StartDownloader();
    StartClient();
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    std::vector<Json::Value> posts = Posts(m_platformJournal, kAnswerPath);
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back()["body"].asString(), body);
    EXPECT_EQ(SettledRow("exam-1", "1").second, "1");
}

TEST_F(AnswerDelivery, AnAnswerStoredNowhereIsNotCalledOk) {
    // The outbox's file name is taken by a folder, and the downloader is down.
    std::filesystem::create_directories(m_dir.file("client/Qorvane.db"));
    m_downloader.Terminate();
    StartPlatform("no", {std::string("path=") + kAnswerPath + ",status=503"});
    StartClient();
    EXPECT_EQ(
        m_client.Submit(AnswerBody(m_web, "exam-1")),
        R"(cb([{"errorCode":"-1","errorMsg":"answer not stored","isSuccess":"false","version":")" +
            std::string(kClientVersion) + R"("}]))");
    // With the downloader back, its table is a durable home: ok again.
    StartDownloader();
    EXPECT_EQ(m_client.Submit(AnswerBody(m_web, "exam-2")), kOkAnswer);
    EXPECT_EQ(SettledRow("exam-2", "0").second, "0");
}

TEST_F(AnswerDelivery, RowsLeftInTheDownloaderAreReadBackButADeliveredOneIsNotSentAgain) {
    // First run: exam-1 goes straight to the server while the downloader is
    // down, so the downloader never hears of it.
    m_downloader.Terminate();
    StartPlatform("true");
    StartClient();
    ASSERT_EQ(m_client.Submit(AnswerBody(m_web, "exam-1")), kOkAnswer);
    ASSERT_TRUE(WaitForPost(kAnswerPath));
    EXPECT_EQ(m_client.Stop(), 0);

    // The downloader holds a stale pending version of exam-1 and an answer
    // of exam-2 that only it kept (no path known for it).
    StartDownloader();
    auto sql = [&](const std::string& statement) {
        return HttpFetch::Get(m_downloader.Url("downloader") +
                              "/EXECSQL.KIVO?Sql=" + HttpFetch::Encode(statement));
    };
    sql("create table if not exists examAnswer(userId varchar,examId varchar,answer varchar,"
        "url varchar,lastTime BIGINT,status int, primary key(userId,examId) )");
    const std::string stale = AnswerBody(m_web, "exam-1", "stale");
    const std::string only = AnswerBody(m_web, "exam-2", "only in the downloader");
    sql("replace into examAnswer values('learner-1','exam-1','" + stale + "','" + m_web +
        "','1000','0')");
    sql("replace into examAnswer values('learner-1','exam-2','" + only + "','" + m_web +
        "','1000','0')");
    StartClient();
    ASSERT_TRUE(WaitForDeliveredRow("exam-2")) << m_client.Log();
    // Posted to the bare address (its path is unknown) and taken by the box.
    std::vector<Json::Value> boxed = Posts(m_platformJournal, kBoxPath);
    ASSERT_EQ(boxed.size(), 1u);
    EXPECT_EQ(boxed[0]["body"].asString(), only);
    ASSERT_TRUE(WaitForDeliveredRow("exam-1"));
    EXPECT_EQ(Posts(m_platformJournal, kAnswerPath).size(), 1u);
    EXPECT_EQ(m_client.Stop(), 0);
}

}  // namespace
