// The web-learning window driven through the channel: the real client in
// the private X session, the platform stand-in's probe page inside it, and
// what the page reported in the stand-in's journal.

#include <gtest/gtest.h>

#include <json/json.h>

#include "foundation/Version.h"
#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kTitle = "Qorvane 在线学习";
constexpr int kPageWaitMs = 30000;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

class LearningGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        ASSERT_TRUE(m_platform.Start("PlatformStandin", {"--web", "0", "--update", "0", "--box",
                                                         "0", "--data", m_dir.file("platform")}))
            << m_platform.Failure();
        m_journal = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port)) << m_client.Output();
    }
    void TearDown() override {
        X11Session::Screenshot("end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    std::string Course(const std::string& method, const std::string& args = "") {
        return CallChannel(m_port, "/COURSEMANAGERREQUEST.KIVO", method,
                           args.empty() ? "" : "&RequestArgs=" + HttpFetch::Encode(args));
    }
    // The probe page with a tag, its address percent-encoded inside the JSON.
    std::string StartLearning(const std::string& tag, const std::string& action = "") {
        const std::string url = m_platform.Url("web") + "/probe.html?tag=" + tag +
                                (action.empty() ? "" : "&do=" + action);
        return Course("StartLearning",
                      "[{\"userUid\":\"u1\",\"domainUrl\":\"" + HttpFetch::Encode(url) + "\"}]");
    }
    // Waits for the page tagged `tag` to report fn; its arguments after the tag
    // go to args.
    bool Reported(const std::string& fn, const std::string& tag,
                  std::vector<std::string>* args = nullptr) {
        Json::Value found;
        const bool seen = m_journal->WaitFor(
            [&](const Json::Value& e) {
                if (e["path"].asString() != "/demo/event" || e["query"]["fn"].asString() != fn) {
                    return false;
                }
                Json::Value args;
                Json::Reader().parse(e["query"]["args"].asString(), args);
                return args.isArray() && args.size() > 0 && args[0u].asString() == tag;
            },
            kPageWaitMs, &found);
        if (seen && args) {
            Json::Value values;
            Json::Reader().parse(found["query"]["args"].asString(), values);
            for (Json::ArrayIndex i = 1; i < values.size(); ++i) {
                args->push_back(values[i].asString());
            }
        }
        return seen;
    }

    TempDir m_dir;
    int m_port = FreeLocalPort();
    StandinProcess m_platform;
    ChildProcess m_client;
    std::unique_ptr<JournalWatch> m_journal;
};

TEST_F(LearningGui, OneFullScreenWindowShowsTheLatestPage) {
    ASSERT_EQ(StartLearning("first"), JsonpOk());
    auto window = X11Session::WaitForWindow(kTitle);
    ASSERT_TRUE(window) << m_client.Output();
    std::vector<std::string> loaded;
    ASSERT_TRUE(Reported("loaded", "first", &loaded));
    EXPECT_EQ(loaded, std::vector<std::string>{"true"});  // window.external before its scripts
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    EXPECT_EQ(width, kScreenWidth);
    EXPECT_EQ(height, kScreenHeight);

    // A second request: the same window, the new page.
    ASSERT_EQ(StartLearning("second", "open"), JsonpOk());
    ASSERT_TRUE(Reported("loaded", "second"));
    int windows = 0;
    for (const X11Window& each : X11Session::Windows()) {
        windows += each.title == kTitle ? 1 : 0;
    }
    EXPECT_EQ(windows, 1);  // window.open of the page made none either
    X11Session::Screenshot("second");

    EXPECT_EQ(Course("StopLearning"), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindowGone(kTitle));
    EXPECT_EQ(Course("StopLearning"), JsonpOk());  // none open: ok, nothing changes

    // After a close the next request builds a new window.
    ASSERT_EQ(StartLearning("third"), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindow(kTitle));
    EXPECT_TRUE(Reported("loaded", "third"));
}

TEST_F(LearningGui, APageThatClosesItsBrowserClosesTheWindow) {
    ASSERT_EQ(StartLearning("closing", "close"), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(kTitle)) << m_client.Output();
    ASSERT_TRUE(Reported("loaded", "closing"));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kTitle));
}

TEST_F(LearningGui, ArgumentsWithoutAnAddressAreRefused) {
    const std::string refused =
        "cb([{\"errorCode\":\"-1\",\"errorMsg\":\"error json formart!\","
        "\"isSuccess\":\"false\",\"version\":\"" +
        std::string(kClientVersion) + "\"}])";
    EXPECT_EQ(Course("StartLearning", "[{\"userUid\":\"u1\",\"domainUrl\":\"\"}]"), refused);
    EXPECT_EQ(Course("StartLearning", "not json"), refused);
    EXPECT_FALSE(X11Session::FindWindow(kTitle));
}

TEST_F(LearningGui, ALockedExamKeepsTheScreen) {
    const std::string args = "[{\"domainUrl\":\"" + m_platform.Url("web") +
                             "/probe.html?tag=exam\",\"isTop\":\"true\"}]";
    ASSERT_EQ(CallChannel(m_port, "/EXAMREQUEST.KIVO", "StartExam",
                          "&RequestArgs=" + HttpFetch::Encode(args)),
              JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow("Qorvane 在线考试"));
    // The exam's own page asks as any page could: nothing comes above it.
    EXPECT_EQ(StartLearning("over-exam"), JsonpFailure("start learning fail"));
    const std::string course = "[{\"userUid\":\"u1\",\"domainUrl\":\"x\",\"courseUrl\":\"" +
                               m_platform.Url("web") +
                               "/course/blank.docx\",\"courseHash\":\"h1\",\"courseType\":"
                               "\"docx\",\"Name\":\"over-exam\"}]";
    EXPECT_EQ(Course("StartViewCourse", course), JsonpFailure("start course view fail"));
    EXPECT_FALSE(X11Session::FindWindow(kTitle));
    EXPECT_FALSE(X11Session::FindWindow("over-exam"));

    ASSERT_EQ(CallChannel(m_port, "/EXAMREQUEST.KIVO", "StopExam"), JsonpOk());
    EXPECT_EQ(StartLearning("after-exam"), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindow(kTitle));
}

}  // namespace
