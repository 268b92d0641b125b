// The course downloader stand-in, driven over HTTP as the client and the
// session service drive it.

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <regex>
#include <thread>

#include "platform/registry/Registry.h"
#include "tests/support/Files.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"

namespace {

constexpr const char* kUser = "demo-user";
// Generous: the simulated download is fast, but CI machines are busy.
constexpr auto kProgressTimeout = std::chrono::seconds(20);
constexpr auto kProgressPoll = std::chrono::milliseconds(50);

// The client's reading of the SQL answer, written out here independently of
// the stand-in: an element's text between "<Tag" ... ">" and "</Tag>", one
// CDATA section unwrapped, otherwise &lt; and &gt; turned back.
bool ReadElement(const std::string& document, const std::string& tag, std::string& text) {
    size_t open = document.find("<" + tag);
    if (open == std::string::npos)
        return false;
    size_t start = document.find('>', open);
    if (start == std::string::npos)
        return false;
    ++start;
    size_t end = document.find("</" + tag + ">", start);
    if (end == std::string::npos)
        return false;
    text = document.substr(start, end - start);
    if (text.rfind("<![CDATA[", 0) == 0) {
        text = text.substr(9, text.size() - 12);
        return true;
    }
    for (auto [from, to] : {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"}}) {
        for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
            text.replace(at, from.size(), to);
        }
    }
    return true;
}

struct Table {
    int retCode = 0;
    std::string message;
    std::vector<std::vector<std::string>> rows;
    int columns = 0;
};

bool ReadTable(const std::string& text, Table& table) {
    if (text.size() <= 12)
        return false;
    const std::string sep = text.substr(0, 12);
    size_t pos = 12;
    auto field = [&](std::string& out) {
        size_t end = text.find(sep, pos);
        if (end == std::string::npos)
            return false;
        out = text.substr(pos, end - pos);
        pos = end + 12;
        return true;
    };
    std::string code, rows, columns;
    if (!field(code) || !field(table.message) || !field(rows) || !field(columns))
        return false;
    table.retCode = std::atoi(code.c_str());
    table.columns = std::atoi(columns.c_str());
    for (int r = 0; r < std::atoi(rows.c_str()); ++r) {
        std::vector<std::string> row(static_cast<size_t>(table.columns));
        for (auto& cell : row) {
            if (!field(cell))
                return false;
        }
        table.rows.push_back(row);
    }
    return true;
}

Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << text;
    return value;
}

class DownloaderStandin : public ::testing::Test {
protected:
    void SetUp() override {
        // The registry the stand-in writes is a private one.
        setenv(kRegistryDirOverride, m_dir.file("registry").c_str(), 1);
        Launch({});
    }
    void TearDown() override { unsetenv(kRegistryDirOverride); }

    void Launch(std::vector<std::string> extra) {
        // Never report to a client that may be running on this machine.
        std::vector<std::string> args = {
            "-commandline", "--port",   "0",      "--data", m_dir.file("data"),
            "--rate",       "67108864", "--tick", "20",     "--report-channel",
            "none"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_process.Start("QorvaneService", args)) << m_process.Failure();
        m_base = m_process.Url("downloader");
    }

    HttpResult Course(const std::string& method, const std::string& args,
                      const std::string& path = "//COURSEMANAGERREQUEST.KIVO") {
        return HttpFetch::Get(m_base + path + "?MethodName=" + method +
                              "&RequstArgs=" + HttpFetch::Encode(args));
    }

    Json::Value Lessons() {
        HttpResult result = Course("GetUserLessonList", R"([{"userUid":"demo-user"}])");
        EXPECT_EQ(result.status, 200);
        return ParseJson(result.body)[0]["lessonList"];
    }

    Json::Value Lesson(const std::string& uid) {
        for (const Json::Value& lesson : Lessons()) {
            if (lesson["lessonUid"].asString() == uid)
                return lesson;
        }
        return Json::Value();
    }

    bool WaitFor(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + kProgressTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done())
                return true;
            std::this_thread::sleep_for(kProgressPoll);
        }
        return done();
    }

    Table Sql(const std::string& statement, std::string* raw = nullptr) {
        HttpResult result =
            HttpFetch::Get(m_base + "/EXECSQL.KIVO?Sql=" + HttpFetch::Encode(statement));
        EXPECT_EQ(result.status, 200);
        if (raw != nullptr)
            *raw = result.body;
        std::string retn, text;
        EXPECT_TRUE(ReadElement(result.body, "Retn", retn)) << result.body;
        EXPECT_EQ(retn, "0") << result.body;
        EXPECT_TRUE(ReadElement(result.body, "SqlResult", text)) << result.body;
        Table table;
        EXPECT_TRUE(ReadTable(text, table)) << text;
        return table;
    }

    TempDir m_dir;
    StandinProcess m_process;
    std::string m_base;
};

TEST_F(DownloaderStandin, LessonListHasTheShapesTheClientReads) {
    HttpResult result = Course("GetUserLessonList", R"([{"userUid":"demo-user"}])");
    ASSERT_EQ(result.status, 200);
    // Rates must be JSON reals even when whole: the client ignores integer literals.
    EXPECT_TRUE(std::regex_search(result.body, std::regex(R"("lessonDownRate":100\.0[,}])")))
        << result.body;
    EXPECT_FALSE(std::regex_search(result.body, std::regex(R"(DownRate":\d+[,}])")));

    Json::Value root = ParseJson(result.body);
    ASSERT_TRUE(root.isArray());
    EXPECT_EQ(root[0]["isSuccess"].asString(), "true");
    const Json::Value& list = root[0]["lessonList"];
    ASSERT_GE(list.size(), 3u);
    for (const Json::Value& lesson : list) {
        EXPECT_TRUE(lesson["lessonUid"].isString());
        EXPECT_TRUE(lesson["lessonName"].isString());
        EXPECT_EQ(lesson["lessonDownRate"].type(), Json::realValue);
        EXPECT_TRUE(lesson["lessonStatus"].isInt());
        ASSERT_TRUE(lesson["size"].isString());
        EXPECT_TRUE(std::regex_match(lesson["size"].asString(), std::regex(R"(\d+)")));
        ASSERT_TRUE(lesson["courseList"].isArray());
        long long sum = 0;
        for (const Json::Value& course : lesson["courseList"]) {
            EXPECT_TRUE(course["courseHash"].isString());
            EXPECT_TRUE(course["courseName"].isString());
            EXPECT_EQ(course["courseDownRate"].type(), Json::realValue);
            sum += std::stoll(course["size"].asString());
        }
        EXPECT_EQ(std::to_string(sum), lesson["size"].asString());
    }

    Json::Value info = ParseJson(Course("GetUserLessonCourseInfo",
                                        R"([{"lessonUid":"lesson-office","userUid":"demo-user"}])")
                                     .body);
    ASSERT_EQ(info[0]["lessonList"].size(), 1u);
    EXPECT_EQ(info[0]["lessonList"][0]["courseList"].size(), 3u);

    Json::Value server = ParseJson(Course("GetCurServerInfo", "").body);
    EXPECT_EQ(server[0]["isSuccess"].asString(), "true");
    EXPECT_EQ(server[0]["curUser"].asString(), kUser);
}

TEST_F(DownloaderStandin, StartedLessonsDownloadOneAfterTheOther) {
    HttpResult started = Course(
        "StartPreDownLesson",
        R"([{"lessonList":[{"lessonUid":"lesson-safety"},{"lessonUid":"lesson-service"}],"userUid":"demo-user"}])");
    ASSERT_EQ(ParseJson(started.body)[0]["isSuccess"].asString(), "true");

    // One downloads, the other waits its turn; both end complete.
    Json::Value safety = Lesson("lesson-safety");
    Json::Value service = Lesson("lesson-service");
    EXPECT_TRUE((safety["lessonStatus"].asInt() == 1 && service["lessonStatus"].asInt() == 2) ||
                safety["lessonStatus"].asInt() == 4)
        << safety << service;
    ASSERT_TRUE(WaitFor([&] {
        return Lesson("lesson-safety")["lessonStatus"].asInt() == 4 &&
               Lesson("lesson-service")["lessonStatus"].asInt() == 4;
    }));
    EXPECT_DOUBLE_EQ(Lesson("lesson-service")["lessonDownRate"].asDouble(), 100.0);

    // Deleting resets the progress; deleting everything resets every lesson.
    Course("DeletePreDownLesson",
           R"([{"lessonList":[{"lessonUid":"lesson-safety"}],"userUid":"demo-user"}])");
    EXPECT_DOUBLE_EQ(Lesson("lesson-safety")["lessonDownRate"].asDouble(), 0.0);
    EXPECT_EQ(Lesson("lesson-safety")["lessonStatus"].asInt(), 0);
    Course("DeleteAllPreDownLesson", R"([{"userUid":"demo-user"}])");
    for (const Json::Value& lesson : Lessons()) {
        EXPECT_DOUBLE_EQ(lesson["lessonDownRate"].asDouble(), 0.0) << lesson;
    }
}

TEST_F(DownloaderStandin, StoppedLessonKeepsItsProgress) {
    m_process.Terminate();
    Launch({"--rate", "65536", "--tick", "10"});  // slow enough to stop halfway
    Course("StartPreDownLesson",
           R"([{"lessonList":[{"lessonUid":"lesson-safety"}],"userUid":"demo-user"}])");
    ASSERT_TRUE(WaitFor([&] { return Lesson("lesson-safety")["lessonDownRate"].asDouble() > 0; }));
    Json::Value stopped = ParseJson(
        Course("StopPreDownLesson",
               R"([{"lessonList":[{"lessonUid":"lesson-safety"}],"userUid":"demo-user"}])")
            .body);
    EXPECT_EQ(stopped[0]["isSuccess"].asString(), "true");
    Json::Value first = Lesson("lesson-safety");
    EXPECT_EQ(first["lessonStatus"].asInt(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Lesson("lesson-safety")["lessonDownRate"], first["lessonDownRate"]);
}

TEST_F(DownloaderStandin, BadRequestsReportFailure) {
    auto success = [&](const HttpResult& r) {
        return ParseJson(r.body)[0]["isSuccess"].asString();
    };
    EXPECT_EQ(success(Course("StartPreDownLesson", "not json")), "false");
    EXPECT_EQ(success(Course("StartPreDownLesson", R"({"userUid":"demo-user"})")), "false");
    EXPECT_EQ(success(Course("StartPreDownLesson",
                             R"([{"lessonList":[{"lessonUid":"nope"}],"userUid":"demo-user"}])")),
              "false");
    EXPECT_EQ(success(Course("Teleport", R"([{"userUid":"demo-user"}])")), "false");
    // Unknown learners simply have no lessons.
    Json::Value none = ParseJson(Course("GetUserLessonList", R"([{"userUid":"someone"}])").body);
    EXPECT_EQ(none[0]["isSuccess"].asString(), "true");
    EXPECT_EQ(none[0]["lessonList"].size(), 0u);
}

TEST_F(DownloaderStandin, ParametersInAnyOrderAndOneSlash) {
    HttpResult result = HttpFetch::Get(m_base + "/coursemanagerrequest.kivo?requstargs=" +
                                       HttpFetch::Encode(R"([{"userUid":"demo-user"}])") +
                                       "&methodname=GetUserLessonList");
    EXPECT_EQ(ParseJson(result.body)[0]["isSuccess"].asString(), "true");
    EXPECT_GE(ParseJson(result.body)[0]["lessonList"].size(), 3u);

    // "=" inside a value, unescaped, stays part of it.
    HttpResult sql =
        HttpFetch::Get(m_base + "/EXECSQL.KIVO?Sql=select+count(*)+from+lesson+where+1=1");
    std::string text;
    ASSERT_TRUE(ReadElement(sql.body, "SqlResult", text));
    Table table;
    ASSERT_TRUE(ReadTable(text, table));
    EXPECT_EQ(table.retCode, 0) << table.message;
}

TEST_F(DownloaderStandin, ExecSqlRoundTripsAwkwardValues) {
    Table created =
        Sql("create table if not exists examAnswer(userId varchar,examId varchar,answer varchar,"
            "url varchar,lastTime BIGINT,status int, primary key(userId,examId) )");
    EXPECT_EQ(created.retCode, 0);
    const std::vector<std::string> answers = {R"([{"a":"<b>x</b>"}])",
                                              "ends in ]]> and </SqlResult> too",
                                              "&lt;kept&gt; as typed", "中文答案 'quoted'", ""};
    for (size_t i = 0; i < answers.size(); ++i) {
        std::string quoted;
        for (char c : answers[i])
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        Table stored =
            Sql("replace into examAnswer(userId,examId,answer,url,lastTime,status) "
                "values('u1','e" +
                std::to_string(i) + "','" + quoted + "','http://h','17','0')");
        EXPECT_EQ(stored.retCode, 0) << stored.message;
    }
    std::string first, second;
    Table rows =
        Sql("select * from examAnswer where userId='u1' and status='0' and examId<>'e1' ", &first);
    EXPECT_EQ(rows.retCode, 0);
    EXPECT_EQ(rows.columns, 6);
    ASSERT_EQ(rows.rows.size(), answers.size() - 1);
    for (const auto& row : rows.rows) {
        size_t i = static_cast<size_t>(std::stoi(row[1].substr(1)));
        EXPECT_EQ(row[2], answers[i]);
        EXPECT_EQ(row[4], "17");
    }
    // A value holding the closing tag itself cannot travel in CDATA; it comes
    // escaped, and still reads back exactly.
    Table tagged = Sql("select answer from examAnswer where examId='e1'");
    ASSERT_EQ(tagged.rows.size(), 1u);
    EXPECT_EQ(tagged.rows[0][0], answers[1]);
    Sql("select 1", &second);
    // utf-8 declared near the start; a fresh separator per answer.
    EXPECT_LT(first.find("encoding=\"utf-8\""), 38u);
    std::string a, b;
    ReadElement(first, "SqlResult", a);
    ReadElement(second, "SqlResult", b);
    EXPECT_NE(a.substr(0, 12), b.substr(0, 12));
}

TEST_F(DownloaderStandin, ExecSqlTakesWholeAnswersInTheQuery) {
    // Statements carry whole exam answers in the query of a GET: far beyond
    // the request line lengths HTTP libraries usually accept.
    std::string answer;
    for (int i = 0; answer.size() < 300 * 1024; ++i) {
        answer += R"({"questionUid":"q)" + std::to_string(i) + R"(","answer":"选项 A & <b>"},)";
    }
    Sql("create table if not exists examAnswer(userId varchar,examId varchar,answer varchar,"
        "url varchar,lastTime BIGINT,status int, primary key(userId,examId) )");
    Table stored =
        Sql("replace into examAnswer(userId,examId,answer,url,lastTime,status) "
            "values('u1','big','" +
            answer + "','http://h','17','0')");
    EXPECT_EQ(stored.retCode, 0) << stored.message;
    Table back = Sql("select answer from examAnswer where examId='big'");
    ASSERT_EQ(back.rows.size(), 1u);
    EXPECT_TRUE(back.rows[0][0] == answer);

    bool journaled = false;
    for (const Json::Value& entry : JournalWatch(m_dir.file("data/journal.jsonl")).Entries()) {
        journaled =
            journaled || (entry["method"].asString() == "GET" &&
                          entry["query"]["Sql"].asString().find(answer) != std::string::npos);
    }
    EXPECT_TRUE(journaled);
}

TEST_F(DownloaderStandin, ExecSqlReportsErrorsInTheTable) {
    Table broken = Sql("select nothing from nowhere");
    EXPECT_NE(broken.retCode, 0);
    EXPECT_FALSE(broken.message.empty());
    EXPECT_TRUE(broken.rows.empty());

    HttpResult empty = HttpFetch::Get(m_base + "/EXECSQL.KIVO?Sql=");
    std::string retn;
    ASSERT_TRUE(ReadElement(empty.body, "Retn", retn));
    EXPECT_NE(retn, "0");
}

TEST_F(DownloaderStandin, SubmitFileKeepsACopyAndRestartsAreRecorded) {
    const std::string document = m_dir.file("answer.docx");
    WriteWholeFile(document, std::string("PK\x03\x04 office bytes", 20));
    std::string args = R"([{"LocalPath":")" + document + R"(","OriginalUrl":""}])";
    HttpResult submitted =
        HttpFetch::Get(m_base + "/EXAMREQUEST.KIVO?RequestArgs=" + HttpFetch::Encode(args) +
                       "&MethodName=SubmitFile");
    ASSERT_EQ(submitted.status, 200);
    Json::Value answer = ParseJson(submitted.body);
    ASSERT_TRUE(answer[0]["errorCode"].isString());
    EXPECT_EQ(answer[0]["errorCode"].asString(), "0");
    Table files = Sql("select localPath, storedPath from submittedFile");
    ASSERT_EQ(files.rows.size(), 1u);
    EXPECT_EQ(files.rows[0][0], document);
    EXPECT_EQ(ReadWholeFile(files.rows[0][1]), ReadWholeFile(document));

    std::string missing = R"([{"LocalPath":")" + m_dir.file("gone.docx") + R"("}])";
    Json::Value refused = ParseJson(HttpFetch::Get(m_base +
                                                   "/EXAMREQUEST.KIVO?MethodName=SubmitFile"
                                                   "&RequestArgs=" +
                                                   HttpFetch::Encode(missing))
                                        .body);
    EXPECT_NE(refused[0]["errorCode"].asString(), "0");
    std::string folder = R"([{"LocalPath":")" + m_dir.path().string() + R"("}])";
    Json::Value notFile = ParseJson(HttpFetch::Get(m_base +
                                                   "/EXAMREQUEST.KIVO?MethodName=SubmitFile"
                                                   "&RequestArgs=" +
                                                   HttpFetch::Encode(folder))
                                        .body);
    EXPECT_EQ(notFile[0]["errorCode"].asString(), "-1");

    for (const char* query : {"&Channel=1", "&Channel=0", ""}) {
        EXPECT_EQ(
            HttpFetch::Get(m_base + "/EXAMREQUEST.KIVO?MethodName=RestartExam" + query).status,
            200);
    }
    Table restarts = Sql("select channel from restartRequest order by rowid");
    ASSERT_EQ(restarts.rows.size(), 3u);
    EXPECT_EQ(restarts.rows[0][0], "1");
    EXPECT_EQ(restarts.rows[1][0], "0");
    EXPECT_EQ(restarts.rows[2][0], "");
}

// Stands for the client's channel: collects the paper statuses it is told.
class StatusChannel {
public:
    StatusChannel() {
        m_server.Get("/EXAMREQUEST.KIVO",
                     [this](const httplib::Request& request, httplib::Response&) {
                         std::lock_guard<std::mutex> hold(m_lock);
                         if (request.get_param_value("MethodName") == "UpdatePaperDownloadStatus") {
                             m_statuses.push_back(request.get_param_value("Status"));
                         }
                         m_arrived.notify_all();
                     });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~StatusChannel() {
        m_server.stop();
        m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> WaitFor(size_t count) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_arrived.wait_for(hold, kProgressTimeout, [&] { return m_statuses.size() >= count; });
        return m_statuses;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<std::string> m_statuses;
};

TEST_F(DownloaderStandin, RestartExamReportsThePaperStatusToTheClient) {
    StatusChannel channel;
    m_process.Terminate();
    Launch({"--report-channel", channel.Url(), "--paper-outcome", "accel-fails", "--paper-delay",
            "10"});
    HttpFetch::Get(m_base + "/EXAMREQUEST.KIVO?MethodName=RestartExam&Channel=1");
    EXPECT_EQ(channel.WaitFor(2), (std::vector<std::string>{"0", "-1"}));
    HttpFetch::Get(m_base + "/EXAMREQUEST.KIVO?MethodName=RestartExam&Channel=0");
    EXPECT_EQ(channel.WaitFor(4), (std::vector<std::string>{"0", "-1", "0", "2"}));
    // The journal notes each report once it was sent.
    JournalWatch journal(m_dir.file("data/journal.jsonl"));
    EXPECT_TRUE(journal.WaitFor(
        [](const Json::Value& entry) {
            return entry["event"].asString() == "UpdatePaperDownloadStatus" &&
                   entry["detail"].asString() == "2 delivered";
        },
        static_cast<int>(std::chrono::milliseconds(kProgressTimeout).count())));
}

TEST_F(DownloaderStandin, ServesPaperFilesInsideItsFolderOnly) {
    HttpResult paper = HttpFetch::Get(m_base + "/kivoexampaper/demo/question1.html");
    EXPECT_EQ(paper.status, 200);
    EXPECT_NE(paper.body.find("GetScore"), std::string::npos);
    EXPECT_EQ(HttpFetch::Get(m_base + "/kivoexampaper/../seed.sql").status, 404);
    EXPECT_EQ(HttpFetch::Get(m_base + "/kivoexampaper/demo/none.html").status, 404);
}

TEST_F(DownloaderStandin, ProxyAndDataPathLandInTheMachineRegistry) {
    HttpResult proxy = HttpFetch::Get(
        m_base + "/SET_CUSTOM_PROXY_INFO.KIVO?CustomProxyEnable=1&CustomProxyServer=" +
        HttpFetch::Encode("10.0.0.8:3128") + "&CustomProxyUser=u&CustomProxyPass=p" +
        "&CustomProxyAuth=Basic&CustomProxyOverride=" + HttpFetch::Encode("<local>"));
    EXPECT_EQ(proxy.status, 200);
    Registry machine(RegistryRoot::LocalMachine);
    std::string value;
    const std::string key = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
    EXPECT_EQ(machine.ReadString(key, "CustomProxyEnable", value), 0);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(machine.ReadString(key, "CustomProxyServer", value), 0);
    EXPECT_EQ(value, "10.0.0.8:3128");
    EXPECT_EQ(machine.ReadString(key, "CustomProxyOverride", value), 0);
    EXPECT_EQ(value, "<local>");

    HttpResult moved = HttpFetch::Get(
        m_base + "/MODI_DATA_PATH.KIVO?ModiDataPath=" + HttpFetch::Encode("/srv/qorvane data"));
    EXPECT_EQ(moved.status, 200);
    EXPECT_EQ(RegReadString("Software\\KIVO\\QORVANE", "DataPath", value), 0);
    EXPECT_EQ(value, "/srv/qorvane data");
    // Without a folder nothing is written.
    HttpResult empty = HttpFetch::Get(m_base + "/MODI_DATA_PATH.KIVO?ModiDataPath=");
    EXPECT_NE(empty.body.find("\"-1\""), std::string::npos);
    EXPECT_EQ(RegReadString("Software\\KIVO\\QORVANE", "DataPath", value), 0);
    EXPECT_EQ(value, "/srv/qorvane data");
}

TEST_F(DownloaderStandin, ExitProcessAnswersThenEnds) {
    HttpResult result =
        HttpFetch::Get(m_base + "/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=");
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(m_process.WaitForExit(2000), 0);
}

TEST_F(DownloaderStandin, EndsCleanlyOnSigterm) {
    EXPECT_EQ(m_process.Terminate(), 0);
}

TEST_F(DownloaderStandin, InjectedFailuresApplyPerEndpoint) {
    HttpResult added =
        HttpFetch::Post(m_base + "/_standin/faults",
                        R"([{"path":"/EXECSQL.KIVO","drop":true,"times":1},)"
                        R"({"path":"/COURSEMANAGERREQUEST.KIVO","status":503,"times":1}])",
                        "application/json");
    ASSERT_EQ(added.status, 200) << added.body;
    EXPECT_NE(HttpFetch::Get(m_base + "/EXECSQL.KIVO?Sql=select%201").curlCode, 0);
    EXPECT_EQ(Course("GetCurServerInfo", "").status, 503);
    // Each rule took its one request; the next ones are served again.
    EXPECT_EQ(HttpFetch::Get(m_base + "/EXECSQL.KIVO?Sql=select%201").status, 200);
    EXPECT_EQ(Course("GetCurServerInfo", "").status, 200);
    EXPECT_EQ(HttpFetch::Post(m_base + "/_standin/faults", R"({"status":"x"})", "application/json")
                  .status,
              400);
}

TEST_F(DownloaderStandin, FreshDatabaseInTheGivenFolderAndJournal) {
    EXPECT_TRUE(std::filesystem::exists(m_dir.file("data") + "/downloader.db"));
    Course("GetCurServerInfo", "");
    std::string journal = ReadWholeFile(m_dir.file("data") + "/journal.jsonl");
    EXPECT_NE(journal.find(R"("MethodName":"GetCurServerInfo")"), std::string::npos) << journal;
}

}  // namespace
