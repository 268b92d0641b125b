// The downloader client on the wire, against the downloader stand-in running
// as its own process.

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/ClientLog.h"
#include "http/Socket.h"
#include "peers/downloader/CourseManagerClient.h"
#include "peers/downloader/DownloaderAddress.h"
#include "peers/downloader/SqlClient.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kJournalWaitMs = 5000;

class DownloaderWire : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QORVANE_REGISTRY_DIR", m_dir.file("registry").c_str(), 1);
        ASSERT_TRUE(m_downloader.Start("QorvaneService",
                                       {"-commandline", "--port", "0", "--data", m_dir.file("data"),
                                        "--journal", Journal(), "--report-channel", "none"}))
            << m_downloader.Failure();
        setenv(kDownloaderPortEnvironment, std::to_string(m_downloader.Port("downloader")).c_str(),
               1);
    }
    void TearDown() override {
        unsetenv(kDownloaderPortEnvironment);
        unsetenv("QORVANE_REGISTRY_DIR");
    }
    std::string Journal() const { return m_dir.file("journal.jsonl"); }

    TempDir m_dir;
    StandinProcess m_downloader;
};

TEST_F(DownloaderWire, CourseManagerRequestsCarryTheExactPathAndArguments) {
    std::u16string user = u"unchanged";
    ASSERT_EQ(GetCurServerInfo(user), 0);
    EXPECT_EQ(user, u"demo-user");

    std::vector<LessonInfo> lessons;
    ASSERT_EQ(GetUserLessonList(u"demo-user", lessons), 0);
    ASSERT_EQ(lessons.size(), 4u);
    EXPECT_EQ(lessons[0].lessonName, u"安全生产基础");
    EXPECT_EQ(lessons[0].courses.size(), 2u);
    EXPECT_EQ(lessons[0].size, 3145728 + 8388608);

    EXPECT_EQ(DeleteAllPreDownLesson(u"demo-user"), 0);
    JournalWatch journal(Journal());
    Json::Value entry;
    ASSERT_TRUE(journal.WaitFor(
        [](const Json::Value& e) {
            return e["query"]["MethodName"].asString() == "DeleteAllPreDownLesson";
        },
        kJournalWaitMs, &entry));
    EXPECT_EQ(entry["path"].asString(), "//COURSEMANAGERREQUEST.KIVO");
    EXPECT_EQ(entry["query"]["RequstArgs"].asString(), "[{\"userUid\":\"demo-user\"}]\n");
    EXPECT_EQ(entry["headers"]["User-Agent"].asString(), "Simple Http Client");
    EXPECT_EQ(StartPreDownLesson(u"demo-user", {u"no-such-lesson"}), -1);
}

TEST_F(DownloaderWire, SqlKeepsEveryByteOfAValue) {
    ExecSqlResult result;
    ASSERT_EQ(ExecSql("create table if not exists t(k varchar, v varchar)", result), 0);
    EXPECT_EQ(result.retCode, 0);
    // Quotes doubled the way SQL wants them; everything else as it stands.
    const std::string value = "it''s \\n a \"test\"\n第二行 <b>&amp;</b> ]]>";
    ASSERT_EQ(ExecSql("insert into t values('k1','" + value + "')", result), 0);
    ASSERT_EQ(ExecSql("select * from t where k='k1' ", result), 0);
    ASSERT_EQ(result.rowCount, 1);
    ASSERT_EQ(result.columnCount, 2);
    EXPECT_EQ(result.rows[0][1], "it's \\n a \"test\"\n第二行 <b>&amp;</b> ]]>");
    ASSERT_EQ(ExecSql("select * from no_such_table", result), 0);
    EXPECT_NE(result.retCode, 0);
    EXPECT_EQ(ExecSql("", result), -1);
}

TEST_F(DownloaderWire, ARetnOtherThanZeroFailsEvenWithAWellFormedTable) {
    const std::string sep = "ABCDEFGHIJKL";
    ASSERT_TRUE(m_downloader.Start(
        "QorvaneService",
        {"-commandline", "--port", "0", "--data", m_dir.file("data"), "--report-channel", "none",
         "--fail",
         "path=/EXECSQL.KIVO,status=200,body=<Result><Retn>1</Retn><SqlResult>" + sep + "0" + sep +
             sep + "0" + sep + "0" + sep + "</SqlResult></Result>"}))
        << m_downloader.Failure();
    setenv(kDownloaderPortEnvironment, std::to_string(m_downloader.Port("downloader")).c_str(), 1);
    ExecSqlResult result;
    EXPECT_EQ(ExecSql("select 1", result), -1);
}

TEST_F(DownloaderWire, AnAbsentDownloaderFailsEveryCall) {
    m_downloader.Terminate();
    std::u16string user = u"before";
    EXPECT_EQ(GetCurServerInfo(user), -1);
    EXPECT_EQ(user, u"before");
    std::vector<LessonInfo> lessons;
    EXPECT_EQ(GetUserLessonList(u"demo-user", lessons), -1);
    ExecSqlResult result;
    EXPECT_EQ(ExecSql("select 1", result), -1);
}

// A downloader that is away is logged once when it goes and once when it
// is back, however often the page asks meanwhile.
TEST_F(DownloaderWire, AnOutageIsLoggedOnceAndItsEndOnce) {
    const std::string running = std::getenv(kDownloaderPortEnvironment);
    std::u16string user;
    ASSERT_EQ(GetCurServerInfo(user), 0);  // whatever came before: the downloader is there
    const std::string log = m_dir.file("client.log");
    ClientLog::Instance().Open(log.c_str());
    setenv(kDownloaderPortEnvironment, std::to_string(FreeLocalPort()).c_str(), 1);
    for (int ask = 0; ask < 3; ++ask) {
        EXPECT_NE(GetCurServerInfo(user), 0);
    }
    setenv(kDownloaderPortEnvironment, running.c_str(), 1);
    EXPECT_EQ(GetCurServerInfo(user), 0);
    EXPECT_EQ(GetCurServerInfo(user), 0);
    setenv(kDownloaderPortEnvironment, std::to_string(FreeLocalPort()).c_str(), 1);
    EXPECT_NE(GetCurServerInfo(user), 0);
    ClientLog::Instance().Open(nullptr);

    const std::string text = ReadWholeFile(log);
    auto count = [&text](const std::string& line) {
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("Connect to downloader failed."), 2u) << text;
    EXPECT_EQ(count("Connect to downloader succeeded again."), 1u) << text;
}

}  // namespace
