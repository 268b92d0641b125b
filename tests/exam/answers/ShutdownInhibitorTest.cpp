// The shutdown block against logind's mock (python-dbusmock) on a private
// bus that stands for the system bus. Run under dbus-run-session: the bus
// and everything on it end with the test.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/inhibit/ShutdownInhibitor.h"
#include "tests/support/ChildProcess.h"

namespace {

constexpr int kBusWaitSeconds = 20;
constexpr int kLogWaitMs = 10000;

class LogLines {
public:
    ShutdownInhibitor::Logger Sink() {
        return [this](const std::string& line) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_lines.push_back(line);
            m_changed.notify_all();
        };
    }
    bool WaitFor(const std::string& text, size_t occurrences = 1) {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::milliseconds(kLogWaitMs), [&] {
            size_t seen = 0;
            for (const std::string& line : m_lines) {
                seen += line.find(text) != std::string::npos;
            }
            return seen >= occurrences;
        });
    }
    size_t Count(const std::string& text) {
        std::lock_guard<std::mutex> hold(m_lock);
        size_t seen = 0;
        for (const std::string& line : m_lines) {
            seen += line.find(text) != std::string::npos;
        }
        return seen;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

std::string Logind(const std::string& method, const std::string& args = "") {
    return RunCommand("gdbus call --system --dest org.freedesktop.login1 --object-path "
                      "/org/freedesktop/login1 --method " +
                      method + " " + args + " 2>&1");
}

class ShutdownInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!session || !HaveProgram("gdbus")) {
            GTEST_SKIP() << "needs dbus-run-session and gdbus";
        }
        setenv("DBUS_SYSTEM_BUS_ADDRESS", session, 1);
        ASSERT_TRUE(m_logind.Start({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                                    "logind"}));
        ASSERT_EQ(RunCommand("gdbus wait --system --timeout " + std::to_string(kBusWaitSeconds) +
                             " org.freedesktop.login1 && echo up"),
                  "up\n");
    }

    ChildProcess m_logind;
};

TEST_F(ShutdownInhibitorTest, HoldsBlockAndDelayWhilePendingAndLetsGoAfter) {
    LogLines log;
    std::mutex lock;
    std::condition_variable attempted;
    int budget = -1;
    ShutdownInhibitor inhibitor;
    ASSERT_TRUE(inhibitor.Start(log.Sink(), [&](int ms) {
        std::lock_guard<std::mutex> hold(lock);
        budget = ms;
        attempted.notify_all();
    }));
    EXPECT_EQ(Logind("org.freedesktop.login1.Manager.ListInhibitors"), "(@a(ssssuu) [],)\n");

    inhibitor.SetHeld(true);
    ASSERT_TRUE(log.WaitFor("shutdown block held"));
    const std::string held = Logind("org.freedesktop.login1.Manager.ListInhibitors");
    EXPECT_NE(held.find("('shutdown', 'Qorvane', '后台正在提交考试答案，请确定是否继续强制关机？', "
                        "'block'"),
              std::string::npos)
        << held;
    EXPECT_NE(held.find("'delay'"), std::string::npos) << held;

    // The system goes down anyway (root, or a forced shutdown): one last
    // attempt within logind's delay, then the delay lock goes.
    Logind("org.freedesktop.DBus.Mock.EmitSignal",
           "org.freedesktop.login1.Manager PrepareForShutdown b '[<true>]'");
    {
        std::unique_lock<std::mutex> hold(lock);
        ASSERT_TRUE(attempted.wait_for(hold, std::chrono::milliseconds(kLogWaitMs),
                                       [&] { return budget >= 0; }));
    }
    EXPECT_EQ(budget, ShutdownInhibitor::kDefaultDelayMs - ShutdownInhibitor::kDelayMarginMs);
    const std::string afterPrepare = Logind("org.freedesktop.login1.Manager.ListInhibitors");
    EXPECT_EQ(afterPrepare.find("'delay'"), std::string::npos) << afterPrepare;
    EXPECT_NE(afterPrepare.find("'block'"), std::string::npos) << afterPrepare;

    inhibitor.SetHeld(false);
    ASSERT_TRUE(log.WaitFor("shutdown block released"));
    EXPECT_EQ(Logind("org.freedesktop.login1.Manager.ListInhibitors"), "(@a(ssssuu) [],)\n");
    inhibitor.Stop();
}

TEST(ShutdownInhibitorAbsent, WithoutLogindLogsOnceAndGoesOn) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/qorvane-test-bus", 1);
    LogLines log;
    ShutdownInhibitor inhibitor;
    ASSERT_TRUE(inhibitor.Start(log.Sink(), nullptr));
    inhibitor.SetHeld(true);
    ASSERT_TRUE(log.WaitFor("unavailable"));
    inhibitor.SetHeld(false);
    inhibitor.SetHeld(true);
    inhibitor.Stop();
    EXPECT_EQ(log.Count("unavailable"), 1u);
    EXPECT_EQ(log.Count("held"), 0u);
}

}  // namespace
