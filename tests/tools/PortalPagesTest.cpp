// The portal and exam pages in a real browser (headless Chromium): their
// scripts must reach the channel with the paths, methods and argument records
// the client reads. The channel address points at the stand-in itself, whose
// journal then shows what a client would have received.

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <set>

#include "tests/support/Chromium.h"
#include "tests/support/Files.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"

namespace {

Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

class PortalPages : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveChromium()) {
            GTEST_SKIP() << "chromium is not installed";
        }
        ASSERT_TRUE(m_process.Start("PlatformStandin", {"--web", "0", "--update", "0", "--no-box",
                                                        "--data", m_dir.file("data")}))
            << m_process.Failure();
        m_web = m_process.Url("web");
    }

    // Channel requests the pages made, by method name.
    std::map<std::string, Json::Value> ChannelCalls() {
        std::map<std::string, Json::Value> calls;
        for (const Json::Value& entry : JournalWatch(m_dir.file("data/journal.jsonl")).Entries()) {
            if (entry["path"].asString().find(".KIVO") != std::string::npos) {
                calls[entry["query"]["MethodName"].asString()] = entry;
            }
        }
        return calls;
    }

    TempDir m_dir;
    StandinProcess m_process;
    std::string m_web;
};

TEST_F(PortalPages, PortalReachesEveryChannelMethod) {
    const std::string run =
        "SetTrustDomains,FileCache1,CheckUpdate,GetWindowsUser,ExitProcess,PaperStatus0,"
        "StartExam,StartExamQuestion,LookExamQuestion,SubmitExamAnswers,CheckExamStatus,"
        "ClearExamStatus,StopExam,CameraControl5,StartViewCourse,CheckViewCourse,StartLearning,"
        "StopLearning";
    EXPECT_FALSE(
        LoadInChromium(m_dir, m_web + "/portal.html?channel=" + m_web + "&run=" + run).empty());

    const std::map<std::string, std::string> paths = {{"ExitProcess", "COMMAND"},
                                                      {"SetTrustDomains", "COMMAND"},
                                                      {"FileCache", "COMMAND"},
                                                      {"CheckUpdate", "COMMAND"},
                                                      {"GetWindowsUser", "COMMAND"},
                                                      {"UpdatePaperDownloadStatus", "EXAM"},
                                                      {"StartExam", "EXAM"},
                                                      {"StopExam", "EXAM"},
                                                      {"StartExamQuestion", "EXAM"},
                                                      {"LookExamQuestion", "EXAM"},
                                                      {"SubmitExamAnswers", "EXAM"},
                                                      {"CheckExamStatus", "EXAM"},
                                                      {"ClearExamStatus", "EXAM"},
                                                      {"CameraControl", "EXAM"},
                                                      {"StartViewCourse", "COURSEMANAGER"},
                                                      {"CheckViewCourse", "COURSEMANAGER"},
                                                      {"StartLearning", "COURSEMANAGER"},
                                                      {"StopLearning", "COURSEMANAGER"}};
    auto calls = ChannelCalls();
    for (const auto& [method, path] : paths) {
        ASSERT_EQ(calls.count(method), 1u) << method << " never reached the channel";
        EXPECT_EQ(calls[method]["path"].asString(), "/" + path + "REQUEST.KIVO") << method;
        EXPECT_FALSE(calls[method]["query"]["CallbackFunc"].asString().empty()) << method;
    }

    Json::Value start = ParseJson(calls["StartExam"]["query"]["RequestArgs"].asString());
    ASSERT_TRUE(start.isArray());
    EXPECT_EQ(start[0]["domainUrl"].asString().rfind(m_web + "/exam.html?", 0), 0u);
    EXPECT_TRUE(start[0]["isTop"].isString());
    EXPECT_TRUE(start[0]["captureCamera"].isString());
    EXPECT_TRUE(start[0]["authInfo"]["authName"].isString());

    Json::Value question = ParseJson(calls["StartExamQuestion"]["query"]["RequestArgs"].asString());
    for (const char* required : {"domainUrl", "examGradeUid", "examQuestionUid", "examQuestionType",
                                 "examQuestionContent"}) {
        EXPECT_FALSE(question[0][required].asString().empty()) << required;
    }
    Json::Value course = ParseJson(calls["StartViewCourse"]["query"]["RequestArgs"].asString());
    for (const char* required : {"userUid", "domainUrl", "courseUrl", "courseHash"}) {
        EXPECT_FALSE(course[0][required].asString().empty()) << required;
    }
    Json::Value trust = ParseJson(calls["SetTrustDomains"]["query"]["RequestArgs"].asString());
    EXPECT_TRUE(trust[0]["domainUrl"][0]["url"].isString());
    EXPECT_EQ(calls["CheckUpdate"]["query"]["webAddr"].asString(), m_process.Url("update"));
    EXPECT_EQ(calls["FileCache"]["query"]["param"].asString(), "1");
    EXPECT_EQ(calls["CameraControl"]["query"]["errCode"].asString(), "5");

    // The answers travel in the body of a POST, not in RequestArgs.
    const Json::Value& submit = calls["SubmitExamAnswers"];
    EXPECT_EQ(submit["method"].asString(), "POST");
    Json::Value body = ParseJson(submit["body"].asString());
    ASSERT_TRUE(body.isArray());
    for (const char* member : {"userUid", "examUid", "domainUrl", "path"}) {
        EXPECT_TRUE(body[0][member].isString()) << member;
    }
    EXPECT_EQ(body[0]["path"].asString(), "/lms/api/ExamAnswer.ashx");
}

TEST_F(PortalPages, ExamPageReportsThePaperLoaded) {
    std::string dom =
        LoadInChromium(m_dir, m_web + "/exam.html?userUid=u9&examUid=e9&channel=" + m_web);
    EXPECT_NE(dom.find(">e9<"), std::string::npos);
    auto calls = ChannelCalls();
    ASSERT_EQ(calls.count("UpdatePaperDownloadStatus"), 1u);
    EXPECT_EQ(calls["UpdatePaperDownloadStatus"]["query"]["Status"].asString(), "4");
}

}  // namespace
