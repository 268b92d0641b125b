// The end of the session while answers are pending: refused through the
// desktop's session manager (a libSM double), with the learner told why; let
// through once nothing is pending; and a session manager that vanishes does
// not take the client with it.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "tests/exam/answers/AnswerPeers.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/X11Session.h"

namespace {

constexpr int kWaitMs = 20000;
constexpr const char* kBoxTitle = "Qorvane";

class SessionEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        setenv("QORVANE_REGISTRY_DIR", m_dir.file("registry").c_str(), 1);
        ASSERT_TRUE(m_manager.Start({QORVANE_SESSION_MANAGER_DOUBLE},
                                    {{"ICEAUTHORITY", m_dir.file("iceauthority")}}));
        ASSERT_TRUE(m_manager.WaitForOutput("SESSION_MANAGER=", kWaitMs)) << m_manager.Output();
        const std::string output = m_manager.Output();
        const size_t start = output.find("SESSION_MANAGER=") + 16;
        m_address = output.substr(start, output.find('\n', start) - start);
        ASSERT_TRUE(m_platform.Start("PlatformStandin",
                                     {"--web", "0", "--update", "0", "--box", "0=no", "--data",
                                      m_dir.file("platform"), "--channel", "none", "--fail",
                                      std::string("path=") + kAnswerPath + ",status=503"}))
            << m_platform.Failure();
        ASSERT_TRUE(m_client.Start(FreeLocalPort(), {{"QT_QPA_PLATFORM", "xcb"},
                                                     {"SESSION_MANAGER", m_address},
                                                     {"ICEAUTHORITY", m_dir.file("iceauthority")}}))
            << m_client.Process().Output();
        ASSERT_TRUE(m_manager.WaitForOutput("registered", kWaitMs)) << m_manager.Output();
    }

    bool AskToEnd(int round) {
        kill(m_manager.Pid(), SIGUSR1);
        return m_manager.WaitForOutput("save yourself done #" + std::to_string(round), kWaitMs);
    }

    TempDir m_dir;
    ChildProcess m_manager;
    std::string m_address;
    StandinProcess m_platform;
    ClientProcess m_client{m_dir};
};

TEST_F(SessionEnd, RefusedWhilePendingAllowedAfterAndTheClientOutlivesTheManager) {
    const std::string web = m_platform.Url("web");
    ASSERT_EQ(m_client.Submit(AnswerBody(web, "exam-1")), kOkAnswer);

    ASSERT_TRUE(AskToEnd(1)) << m_manager.Output();
    EXPECT_NE(m_manager.Output().find("interact done #1 cancel=1"), std::string::npos)
        << m_manager.Output();
    auto box = X11Session::WaitForWindow(kBoxTitle);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->pid, m_client.Process().Pid());
    X11Session::Screenshot("shutdown-refused", box->id);
    std::string log = m_client.Log();
    EXPECT_NE(log.find("WM_QUERYENDSESSION:ret=0"), std::string::npos) << log;
    EXPECT_NE(log.find("WM_ENDSESSION:wParam=0,lParam=0"), std::string::npos) << log;
    X11Session::SendKeys(box->id, {"Return"});

    // Delivered: the next request to end finds nothing pending.
    const long long healedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
    HttpFetch::Send("DELETE", web + "/_standin/faults", "", "text/plain");
    JournalWatch journal(m_dir.file("platform/journal.jsonl"));
    ASSERT_TRUE(journal.WaitFor(
        [&](const Json::Value& e) { return IsPost(e, kAnswerPath) && e["time"].asInt64() >= healedMs; },
        kWaitMs));
    bool released = false;
    for (int round = 2; round < 10 && !released; ++round) {
        ASSERT_TRUE(AskToEnd(round)) << m_manager.Output();
        released = m_client.Log().find("WM_QUERYENDSESSION:ret=1") != std::string::npos;
    }
    EXPECT_TRUE(released) << m_client.Log();

    // The manager dies; the client stays and keeps answering.
    m_manager.Stop(SIGKILL);
    HttpResult status = HttpFetch::Get("http://127.0.0.1:" + std::to_string(m_client.Port()) +
                                       "/EXAMREQUEST.KIVO?MethodName=CheckExamStatus&CallbackFunc=cb");
    EXPECT_EQ(status.status, 200);
    EXPECT_TRUE(m_client.Process().Running());
    EXPECT_EQ(m_client.Stop(), 0);
}

}  // namespace
