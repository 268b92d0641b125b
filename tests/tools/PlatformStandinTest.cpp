// The platform stand-in (web server, update server, boxes), driven over HTTP
// the way the client's delivery, upload and update code will drive it.

#include <gtest/gtest.h>
#include <json/json.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "tests/support/Files.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"

namespace {

// The client fetches installers above this size in a hundred ranges.
constexpr long long kRangedInstallerFloor = 1024 * 1024;
constexpr int kInstallerParts = 100;

Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << text;
    return value;
}

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string Element(const std::string& xml, const std::string& tag) {
    std::smatch match;
    std::regex pattern("<" + tag + ">([^<]*)</" + tag + ">");
    return std::regex_search(xml, match, pattern) ? match[1].str() : "<missing>";
}

std::vector<Json::Value> JournalEntries(const std::string& path) {
    return JournalWatch(path).Entries();
}

std::vector<std::filesystem::path> FilesIn(const std::string& folder) {
    std::vector<std::filesystem::path> found;
    if (std::filesystem::exists(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

class PlatformStandin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            m_process.Start("PlatformStandin", {"--web", "0", "--update", "0", "--box", "0",
                                                "--box", "0=no", "--data", m_dir.file("data")}))
            << m_process.Failure();
        m_web = m_process.Url("web");
        m_update = m_process.Url("update");
    }

    std::string Data(const std::string& relative) const { return m_dir.file("data/" + relative); }

    TempDir m_dir;
    StandinProcess m_process;
    std::string m_web;
    std::string m_update;
};

TEST_F(PlatformStandin, BoxListNamesEveryBoxAsAString) {
    HttpResult result = HttpFetch::Get(m_web + "/lms/api/ValidCode.aspx?methodName=GetBoxList");
    ASSERT_EQ(result.status, 200);
    Json::Value root = ParseJson(result.body);
    ASSERT_TRUE(root.isArray());
    const Json::Value& list = root[0]["boxList"];
    ASSERT_TRUE(list.isArray());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[0]["boxUrl"].isString());
    EXPECT_EQ(list[0]["boxUrl"].asString(), m_process.Url("box"));
    EXPECT_EQ(list[1]["boxUrl"].asString(), m_process.Url("box#2"));
}

TEST_F(PlatformStandin, BoxesStoreAnswersAndReplyAsConfigured) {
    const std::string answer = R"([{"userUid":"u","examUid":"e","answers":"<b>x</b>"}])";
    const std::string path = "/a.tundrelcgi?cmd=submmit_exam_answer";
    Json::Value first = ParseJson(HttpFetch::Post(m_process.Url("box") + path, answer).body);
    ASSERT_TRUE(first[0]["isSuccess"].isString());
    EXPECT_EQ(first[0]["isSuccess"].asString(), "true");
    Json::Value second = ParseJson(HttpFetch::Post(m_process.Url("box#2") + path, answer).body);
    EXPECT_EQ(second[0]["isSuccess"].asString(), "no");
    auto stored = FilesIn(Data("box-" + std::to_string(m_process.Port("box"))));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(ReadWholeFile(stored[0]), answer);

    Json::Value wrong =
        ParseJson(HttpFetch::Post(m_process.Url("box") + "/a.tundrelcgi?cmd=other", answer).body);
    EXPECT_EQ(wrong[0]["isSuccess"].asString(), "false");
}

TEST_F(PlatformStandin, AnswerDeliveryStoresTheRawBody) {
    const std::string answer =
        R"([{"userUid":"u1","examUid":"e1","path":"/x","a":"中文 & <tag>"}])";
    HttpResult result = HttpFetch::Post(m_web + "/lms/api/ExamAnswer.ashx", answer, "text/plain");
    EXPECT_EQ(result.status, 200);
    auto stored = FilesIn(Data("answers"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(ReadWholeFile(stored[0]), answer);
    EXPECT_EQ(HttpFetch::Post(m_web + "/lms/api/ExamAnswer.ashx", "not json").status, 400);

    // Whole answers, posted raw under libcurl's default form content type,
    // are far larger than the form bodies HTTP libraries usually accept.
    std::string big = R"([{"userUid":"u1","answers":")" + std::string(300 * 1024, 'x') + R"("}])";
    const std::string form = "application/x-www-form-urlencoded";
    EXPECT_EQ(HttpFetch::Post(m_web + "/lms/api/ExamAnswer.ashx", big, form).status, 200);
    EXPECT_EQ(FilesIn(Data("answers")).size(), 2u);
    HttpResult boxed =
        HttpFetch::Post(m_process.Url("box") + "/a.tundrelcgi?cmd=submmit_exam_answer", big, form);
    EXPECT_EQ(ParseJson(boxed.body)[0]["isSuccess"].asString(), "true");

    bool journaled = false;
    for (const Json::Value& entry : JournalEntries(Data("journal.jsonl"))) {
        journaled = journaled || (entry["path"].asString() == "/lms/api/ExamAnswer.ashx" &&
                                  entry["body"].asString() == answer);
    }
    EXPECT_TRUE(journaled);
}

TEST_F(PlatformStandin, SnapshotUploadTakesTheThreeParts) {
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "picture" + "\xFF\xD9";
    HttpResult accepted = HttpFetch::PostForm(m_web + "/lms/api/HanderReceiveImgInfo.ashx",
                                              {{"examUid", "exam-7", "", ""},
                                               {"userUid", "user-3", "", ""},
                                               {"image", jpeg, "user-3exam_0.jpg", "image/jpeg"}});
    EXPECT_EQ(accepted.status, 200);
    auto stored = FilesIn(Data("snapshots"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(ReadWholeFile(stored[0]), jpeg);
    EXPECT_NE(stored[0].filename().string().find("exam-7_user-3"), std::string::npos);

    EXPECT_EQ(HttpFetch::PostForm(m_web + "/lms/api/HanderReceiveImgInfo.ashx",
                                  {{"examUid", "e", "", ""}, {"image", jpeg, "a.jpg", ""}})
                  .status,
              400);
    EXPECT_EQ(
        HttpFetch::PostForm(
            m_web + "/lms/api/HanderReceiveImgInfo.ashx",
            {{"examUid", "e", "", ""}, {"userUid", "u", "", ""}, {"image", "GIF89a", "a.jpg", ""}})
            .status,
        415);
}

TEST_F(PlatformStandin, FileServiceServesTemplatesThenUploadedAnswers) {
    const std::string address =
        m_web + "/fileservice/download?file=answers/u1_e1_q1.docx&InputStream=1";
    HttpResult before = HttpFetch::Get(address);
    ASSERT_EQ(before.status, 200);
    EXPECT_EQ(before.body.substr(0, 2), "PK");  // the blank Word document

    // The downloader stand-in hands a learner's document in to the same address.
    TempDir downloaderData;
    StandinProcess downloader;
    ASSERT_TRUE(downloader.Start("QorvaneService",
                                 {"--port", "0", "--data", downloaderData.path().string()}))
        << downloader.Failure();
    const std::string document = m_dir.file("q1.docx");
    WriteWholeFile(document, "PK edited by the learner");
    std::string args = R"([{"LocalPath":")" + document + R"(","OriginalUrl":")" +
                       HttpFetch::Encode(address) + R"("}])";
    HttpResult submitted = HttpFetch::Get(downloader.Url("downloader") +
                                          "/EXAMREQUEST.KIVO?MethodName=SubmitFile"
                                          "&RequestArgs=" +
                                          HttpFetch::Encode(args));
    EXPECT_EQ(ParseJson(submitted.body)[0]["errorCode"].asString(), "0") << submitted.body;
    EXPECT_EQ(HttpFetch::Get(address).body, "PK edited by the learner");

    EXPECT_EQ(HttpFetch::Get(m_web + "/fileservice/download?file=../../etc/passwd").status, 400);
    EXPECT_EQ(HttpFetch::Get(m_web + "/fileservice/download?file=x/none.odt").status, 404);
}

TEST_F(PlatformStandin, CourseDocumentsAndDownloads) {
    HttpResult course = HttpFetch::Get(m_web + "/course/blank.xlsx");
    ASSERT_EQ(course.status, 200);
    EXPECT_EQ(course.body, ReadWholeFile(std::string(QORVANE_SOURCE_DIR) +
                                         "/tools/platform/fixtures/documents/blank.xlsx"));
    EXPECT_EQ(HttpFetch::Get(m_web + "/course/missing.docx").status, 404);
    HttpResult download = HttpFetch::Get(m_web + "/download/notes.txt");
    EXPECT_NE(download.headers["content-disposition"].find("attachment"), std::string::npos);
}

TEST_F(PlatformStandin, ProductListDescribesTheInstallerServedInRanges) {
    HttpResult list = HttpFetch::Get(m_update + "/module/QorvaneProductList.xml");
    ASSERT_EQ(list.status, 200);
    const std::string version = Element(list.body, "ViewVersion");
    const std::string file = Element(list.body, "FileName");
    const long long size = std::stoll(Element(list.body, "Size"));
    EXPECT_EQ(version, "2.3.1.18");
    ASSERT_GT(size, kRangedInstallerFloor);

    HttpResult whole = HttpFetch::Get(m_update + "/module/" + file);
    ASSERT_EQ(whole.status, 200);
    ASSERT_EQ(static_cast<long long>(whole.body.size()), size);
    EXPECT_EQ(Element(list.body, "MD5"), Md5Hex(whole.body));

    // The client's ranged fetch: a hundred equal parts, the last one to the end.
    std::string assembled;
    const long long part = size / kInstallerParts;
    for (int i = 0; i < kInstallerParts; ++i) {
        long long first = i * part;
        long long last = i == kInstallerParts - 1 ? size - 1 : (i + 1) * part - 1;
        HttpResult piece =
            HttpFetch::Get(m_update + "/module/" + file,
                           {"Range: bytes=" + std::to_string(first) + "-" + std::to_string(last)});
        ASSERT_EQ(piece.status, 206) << i;
        ASSERT_EQ(piece.headers["content-range"], "bytes " + std::to_string(first) + "-" +
                                                      std::to_string(last) + "/" +
                                                      std::to_string(size));
        assembled += piece.body;
    }
    EXPECT_TRUE(assembled == whole.body);

    // Run, the installer leaves its mark.
    const std::string installer = m_dir.file(file);
    WriteWholeFile(installer, whole.body);
    chmod(installer.c_str(), 0755);
    ASSERT_EQ(std::system(installer.c_str()), 0);
    EXPECT_NE(ReadWholeFile(Data("installer-ran")).find("\"version\":\"2.3.1.18\""),
              std::string::npos);
}

TEST_F(PlatformStandin, DigestCanBeLeftEmpty) {
    m_process.Terminate();
    ASSERT_TRUE(m_process.Start(
        "PlatformStandin", {"--web", "0", "--update", "0", "--no-box", "--installer-md5", "empty",
                            "--installer-size", "4096", "--data", m_dir.file("d2")}));
    HttpResult list = HttpFetch::Get(m_process.Url("update") + "/module/QorvaneProductList.xml");
    EXPECT_EQ(Element(list.body, "MD5"), "");
    EXPECT_EQ(Element(list.body, "Size"), "4096");
    Json::Value boxes = ParseJson(
        HttpFetch::Get(m_process.Url("web") + "/lms/api/ValidCode.aspx?methodName=GetBoxList")
            .body);
    EXPECT_EQ(boxes[0]["boxList"].size(), 0u);
}

TEST_F(PlatformStandin, InjectedFailuresPerEndpointAndPort) {
    const std::string path = "/a.tundrelcgi?cmd=submmit_exam_answer";
    HttpResult added = HttpFetch::Post(
        m_web + "/_standin/faults",
        "[" + std::string(R"({"path":"/a.tundrelcgi","status":500,"port":)") +
            std::to_string(m_process.Port("box")) + "}," +
            R"({"path":"/lms/api/ExamAnswer.ashx","drop":true,"times":1},)"
            R"({"path":"/lms/api/ValidCode.aspx","delayMs":3000,"times":1},)"
            R"({"path":"/fileservice/*","status":200,"body":"[{\"isSuccess\":\"no\"}]"}])",
        "application/json");
    ASSERT_EQ(added.status, 200) << added.body;

    EXPECT_EQ(HttpFetch::Post(m_process.Url("box") + path, "[{}]").status, 500);
    EXPECT_EQ(HttpFetch::Post(m_process.Url("box#2") + path, "[{}]").status, 200);
    HttpResult dropped = HttpFetch::Post(m_web + "/lms/api/ExamAnswer.ashx", "[{}]");
    EXPECT_EQ(dropped.curlCode, 52) << dropped.status;  // nothing came back
    EXPECT_EQ(HttpFetch::Post(m_web + "/lms/api/ExamAnswer.ashx", "[{}]").status, 200);
    HttpResult late =
        HttpFetch::Get(m_web + "/lms/api/ValidCode.aspx?methodName=GetBoxList", {}, 300);
    EXPECT_EQ(late.curlCode, 28);  // timed out while the answer was held back
    EXPECT_EQ(HttpFetch::Get(m_web + "/fileservice/download?file=a.docx").body,
              R"([{"isSuccess":"no"}])");

    EXPECT_EQ(HttpFetch::Send("DELETE", m_web + "/_standin/faults", "", "text/plain").status, 200);
    EXPECT_EQ(HttpFetch::Post(m_process.Url("box") + path, "[{}]").status, 200);
}

TEST_F(PlatformStandin, PagesOfferEveryChannelMethodAndScriptFunction) {
    const std::string portal = HttpFetch::Get(m_web + "/portal.html").body;
    for (const char* method :
         {"ExitProcess", "SetTrustDomains", "FileCache", "CheckUpdate", "GetWindowsUser",
          "UpdatePaperDownloadStatus", "StartExam", "StopExam", "StartExamQuestion",
          "LookExamQuestion", "SubmitExamAnswers", "CheckExamStatus", "ClearExamStatus",
          "CameraControl", "StartViewCourse", "CheckViewCourse", "StartLearning", "StopLearning"}) {
        EXPECT_NE(portal.find("'" + std::string(method) + "'"), std::string::npos) << method;
    }
    const std::string exam = HttpFetch::Get(m_web + "/exam.html").body;
    for (const char* function :
         {"function doPauseExam(", "function OnClientSaveAnswerHandler(",
          "function SetExamUserAnswerForOneContent(", "function SetJudgeScoreForOneQuestion(",
          "CloseCurPage", "ShowTitleBar", "target=\"_blank\"", "/download/"}) {
        EXPECT_NE(exam.find(function), std::string::npos) << function;
    }
    EXPECT_NE(HttpFetch::Get(m_web + "/question.html").body.find("function GetScore("),
              std::string::npos);
    HttpResult preview = HttpFetch::Get(m_web + "/UserPaperPreview.aspx?examUid=e&t=1700000000");
    EXPECT_EQ(preview.status, 200);
    HttpResult config = HttpFetch::Get(m_web + "/standin-config.js");
    EXPECT_NE(config.body.find(m_update), std::string::npos);

    EXPECT_EQ(HttpFetch::Get(m_web + "/demo/event?fn=doPauseExam&args=%5B%5D").status, 204);
    bool recorded = false;
    for (const Json::Value& entry : JournalEntries(Data("journal.jsonl"))) {
        recorded = recorded || entry["query"]["fn"].asString() == "doPauseExam";
    }
    EXPECT_TRUE(recorded);
}

TEST_F(PlatformStandin, EndsCleanlyOnSigterm) {
    EXPECT_EQ(m_process.Terminate(), 0);
}

}  // namespace
