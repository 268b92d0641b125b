// Locked exams in Wayland desktops: the real client under Xwayland in a
// headless GNOME Shell, Mutter or sway, keys pressed at compositor level
// (Mutter's remote-desktop interface, sway's virtual keyboard), and what
// happened checked from outside: the page's journal, the compositor's own
// state (the overview, the focused window), another X client's grab.

#include <gtest/gtest.h>

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include <unistd.h>

#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/ExamPage.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kExamTitle = "Qorvane 在线考试";
const std::string kPaperTitle = "试卷加载提示信息";
const std::string kUpdateTitle = "Qorvane 升级";
const std::string kOtherTitle = "另一个程序";
constexpr int kScreenHeight = 1024;
constexpr int kWaitMs = 30000;
constexpr int kPollMs = 100;
// Long enough for a compositor shortcut to have shown its effect.
constexpr int kEffectMs = 1500;
// Mutter honours a grab from its next renewal (every second) on.
constexpr int kRenewalMs = 2500;
constexpr int kOverviewAttempts = 3;
const std::string kDenyRules =
    "[org/gnome/mutter/wayland]\nxwayland-grab-access-rules=['!QorvanePlatform']\n";

using Compositor = WaylandSession::Compositor;

class WaylandLockdown : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(geteuid(), 0u) << "compositors in a private namespace"; }
    void TearDown() override {
        if (HasFailure()) {
            ADD_FAILURE() << "compositor started " << m_desktop.Starts() << " time(s); its log:\n"
                          << m_desktop.Log() << "\nclient:\n"
                          << m_client.Output();
        }
        if (m_client.Running()) {
            Exam("StopExam");
            X11Session::Screenshot("end");
            EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
        }
        m_other.Stop();
        m_desktop.Stop();
    }

    void StartDesktop(Compositor compositor, const std::string& settings = "",
                      const std::string& update = "") {
        std::string error;
        ASSERT_TRUE(m_desktop.Start(compositor, settings, &error)) << error;
        m_desktop.Enter();
        unsetenv("XDG_RUNTIME_DIR");  // the client and the tools keep their own
        m_port = FreeLocalPort();
        std::vector<std::string> args{"--web",     "0",
                                      "--update",  "0",
                                      "--box",     "0",
                                      "--data",    m_dir.file("platform"),
                                      "--channel", "http://127.0.0.1:" + std::to_string(m_port)};
        if (!update.empty()) {
            args.insert(args.end(), {"--installer-version", update});
        }
        ASSERT_TRUE(m_platform.Start("PlatformStandin", args)) << m_platform.Failure();
        m_journal = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        ASSERT_TRUE(m_other.Start({QORVANE_FIXTURE_WINDOW, kOtherTitle}));
        ASSERT_TRUE(X11Session::WaitForWindow(kOtherTitle)) << m_other.Output();
    }
    void StartClientHere(ChildProcess& client, const std::string& versionSetting = "") {
        std::map<std::string, std::string> env = m_desktop.Environment();
        env.erase("XDG_RUNTIME_DIR");
        const std::string program =
            versionSetting.empty() ? "" : ProgramFolderWith(m_dir, versionSetting);
        ASSERT_TRUE(StartClient(client, m_dir, m_port, env, {}, program)) << client.Output();
        EXPECT_TRUE(client.WaitForOutput("runs as an X11 client (Xwayland)", kWaitMs));
    }

    std::string Exam(const std::string& method, const std::string& extra = "") {
        return CallChannel(m_port, "/EXAMREQUEST.KIVO", method, extra);
    }
    std::string StartExamOn(const std::string& tag, bool isTop) {
        const std::string url = m_platform.Url("web") + "/probe.html?tag=" + tag +
                                "&channel=http://127.0.0.1:" + std::to_string(m_port);
        return Exam(
            "StartExam",
            "&RequestArgs=" + HttpFetch::Encode("[{\"domainUrl\":\"" + url + "\",\"isTop\":\"" +
                                                (isTop ? "true" : "false") + "\"}]"));
    }
    // The exam window, shown and active.
    unsigned long ExamWindowActive() {
        auto window = X11Session::WaitForWindow(kExamTitle);
        EXPECT_TRUE(window);
        EXPECT_TRUE(WaitActive(kExamTitle));
        return window ? window->id : 0;
    }
    bool WaitActive(const std::string& title, int timeoutMs = kWaitMs) {
        for (int waited = 0; waited < timeoutMs; waited += kPollMs) {
            if (X11Session::ActiveWindowTitle() == title) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return false;
    }
    static void Quiet(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Keys pressed in GNOME through the compositor itself.
    bool Press(const std::vector<std::string>& keys) {
        std::vector<std::string> argv{QORVANE_MUTTER_KEYS};
        argv.insert(argv.end(), keys.begin(), keys.end());
        int status = -1;
        X11Session::Run(argv, &status);
        return status == 0;
    }
    std::string Probe(const std::string& what) {
        return X11Session::Run({QORVANE_EXAM_PROBE, what});
    }
    bool WaitKey(const std::string& tag, const std::string& key) {
        return ExamPage::WaitEvent(*m_journal, "keydown", {tag, key});
    }
    // A sway binding's mark (it runs a program of its own: a moment).
    bool WaitFired(const std::string& binding) {
        for (int waited = 0; waited < kEffectMs * 4; waited += kPollMs) {
            if (m_desktop.SwayBindingFired(binding)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return false;
    }
    // RequireLockdown=1 refuses the exam once the learner has read why.
    void ExpectRefusedWithNotice(const std::function<void()>& confirm) {
        ASSERT_EQ(m_client.Stop(), 0) << m_client.Output();
        ChildProcess required;
        StartClientHere(required, "[Exam]\nRequireLockdown=1\n");
        auto refused =
            std::async(std::launch::async, [&] { return StartExamOn("required", true); });
        bool boxShown = false;
        for (int waited = 0; waited < kWaitMs && !boxShown; waited += kPollMs) {
            int count = 0;
            for (const X11Window& window : X11Session::Windows()) {
                count += window.title == kExamTitle ? 1 : 0;
            }
            boxShown = count >= 2;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        ASSERT_TRUE(boxShown) << "the exam window and the refusal";
        X11Session::Screenshot("refused");
        confirm();
        EXPECT_EQ(refused.get(), JsonpFailure("start exam fail"));
        EXPECT_TRUE(required.WaitForOutput("exam refused", kWaitMs));
        EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle));
        EXPECT_EQ(required.Stop(), 0) << required.Output();
    }

    TempDir m_dir;
    WaylandSession m_desktop;
    int m_port = 0;
    StandinProcess m_platform;
    std::unique_ptr<JournalWatch> m_journal;
    ChildProcess m_other;
    ChildProcess m_client;
};

// GNOME Shell with its defaults: the exam window asks Mutter for the
// keyboard and keeps its grab renewed, so the shell's own keys go to it.
TEST_F(WaylandLockdown, GnomeShellGivesTheKeyboardToTheExamThatAsks) {
    StartDesktop(Compositor::kGnomeShell);
    // The shell comes up in its overview; Escape closes it (a fresh virtual
    // keyboard may miss its first keys).
    for (int attempt = 0; attempt < kOverviewAttempts && m_desktop.OverviewActive(); ++attempt) {
        ASSERT_TRUE(Press({"Escape"}));
        Quiet(kEffectMs);
    }
    ASSERT_FALSE(m_desktop.OverviewActive());
    StartClientHere(m_client);
    ASSERT_EQ(StartExamOn("shell", true), JsonpOk());
    ASSERT_TRUE(ExamPage::WaitEvent(*m_journal, "loaded", {"shell"}));
    const unsigned long exam = ExamWindowActive();
    EXPECT_TRUE(m_client.WaitForOutput("exam lock-down holds (GNOME on Wayland)", kWaitMs));
    EXPECT_NE(Probe("grab").find("grab 1"), std::string::npos);
    Quiet(kRenewalMs);

    // One run of the presser: its virtual keyboard is ready after the first
    // letter (a fresh one may not count as a keyboard for a moment).
    ASSERT_TRUE(Press({"a", "Tab", "b", "Escape", "c", "super", "alt+Tab", "d"}));
    ASSERT_TRUE(WaitKey("shell", "d")) << "the page lost the keyboard";
    EXPECT_FALSE(m_desktop.OverviewActive()) << "Super opened the overview";
    EXPECT_EQ(X11Session::ActiveWindowTitle(), kExamTitle);
    // Super+Escape, which Mutter never lets a client have, gives the shell
    // its keys back until the next renewal.
    ASSERT_TRUE(Press({"f", "super+Escape"}));
    Quiet(kRenewalMs);
    ASSERT_TRUE(Press({"g", "super", "alt+Tab", "e"}));
    ASSERT_TRUE(WaitKey("shell", "e"));
    EXPECT_FALSE(m_desktop.OverviewActive());
    EXPECT_EQ(X11Session::ActiveWindowTitle(), kExamTitle);
    // Each run of the presser starts with a Shift of its own.
    std::vector<std::string> seen = ExamPage::KeysSeen(*m_journal, "shell");
    seen.erase(std::remove(seen.begin(), seen.end(), "Shift"), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "Alt", "d", "f", "g", "Alt", "e"}));
    EXPECT_FALSE(ExamPage::LockNoticeShown(exam, kScreenHeight, "shell-locked"));
}

// A school's settings deny the grab (a '!' rule): the X-level grab still
// succeeds, but Mutter keeps its shortcuts; the exam says so.
TEST_F(WaylandLockdown, MutterDenyingTheGrabGivesTheNoticeOrTheRefusal) {
    StartDesktop(Compositor::kMutter, kDenyRules);
    StartClientHere(m_client);
    ASSERT_EQ(StartExamOn("denied", true), JsonpOk());
    ASSERT_TRUE(ExamPage::WaitEvent(*m_journal, "loaded", {"denied"}));
    const unsigned long exam = ExamWindowActive();
    EXPECT_TRUE(m_client.WaitForOutput(
        "exam lock-down does not hold (GNOME on Wayland): Mutter's xwayland-grab-access-rules",
        kWaitMs));
    EXPECT_TRUE(ExamPage::WaitLockNotice(exam, kScreenHeight, true, "denied-notice"));
    EXPECT_NE(Probe("grab").find("grab 1"), std::string::npos) << "held at X level only";
    Quiet(kRenewalMs);
    ASSERT_TRUE(Press({"x", "alt+Tab"}));
    EXPECT_TRUE(WaitActive(kOtherTitle))
        << "the notice told the truth: Alt+Tab still switches; active: "
        << X11Session::ActiveWindowTitle();

    ExpectRefusedWithNotice([&] { ASSERT_TRUE(Press({"Return"})); });
}

// The paper-loading and update windows come above the exam window under
// Mutter as under openbox: they belong to it (transient-for).
TEST_F(WaylandLockdown, MutterKeepsTheExamsOwnWindowsAboveIt) {
    StartDesktop(Compositor::kMutter, "", "9.9.9.9");
    StartClientHere(m_client);
    ASSERT_EQ(StartExamOn("paper", true), JsonpOk());
    ExamWindowActive();
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=0"), "");
    ASSERT_TRUE(X11Session::WaitForWindow(kPaperTitle));
    EXPECT_TRUE(X11Session::WaitStackedAbove(kPaperTitle, kExamTitle))
        << X11Session::Screenshot("paper");
    Quiet(kRenewalMs);
    EXPECT_TRUE(X11Session::WaitStackedAbove(kPaperTitle, kExamTitle, 0))
        << "the exam's renewals keep it above";
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=4"), "");
    EXPECT_TRUE(X11Session::WaitForWindowGone(kPaperTitle));
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindowGone(kExamTitle));

    ASSERT_EQ(StartExamOn("update", false), JsonpOk());
    ExamWindowActive();
    const std::string offer =
        HttpFetch::Get("http://127.0.0.1:" + std::to_string(m_port) +
                       "/COMMANDREQUEST.KIVO?MethodName=CheckUpdate&webAddr=" +
                       HttpFetch::Encode(m_platform.Url("update")))
            .body;
    EXPECT_EQ(offer, "true");
    ASSERT_TRUE(X11Session::WaitForWindow(kUpdateTitle)) << m_client.Output();
    EXPECT_TRUE(X11Session::WaitStackedAbove(kUpdateTitle, kExamTitle))
        << X11Session::Screenshot("update");
}

// sway keeps its bindings past any X grab: the exam runs with the notice.
TEST_F(WaylandLockdown, SwayCannotLockAndTheExamSaysSo) {
    StartDesktop(Compositor::kSway);
    StartClientHere(m_client);
    ASSERT_EQ(StartExamOn("sway", true), JsonpOk());
    ASSERT_TRUE(ExamPage::WaitEvent(*m_journal, "loaded", {"sway"}));
    auto exam = X11Session::WaitForWindow(kExamTitle);
    ASSERT_TRUE(exam);
    EXPECT_TRUE(m_client.WaitForOutput("exam lock-down does not hold (wlroots compositor (sway))",
                                       kWaitMs));
    EXPECT_TRUE(ExamPage::WaitLockNotice(exam->id, kScreenHeight, true, "sway-notice"));
    EXPECT_NE(Probe("grab").find("grab 1"), std::string::npos) << "held at X level only";
    // Letters reach the page; sway's own bindings fire all the same.
    // (wtype's first event is lost: the virtual keyboard is made on it.)
    ASSERT_TRUE(m_desktop.TypeWithWtype({"-k", "Shift_L", "-k", "a"}));
    EXPECT_TRUE(WaitKey("sway", "a"));
    ASSERT_TRUE(m_desktop.TypeWithWtype({"-k", "Shift_L", "-M", "alt", "-P", "tab", "-p", "tab",
                                         "-m", "alt", "-k", "Super_L", "-k", "b"}));
    EXPECT_TRUE(WaitKey("sway", "b"));
    EXPECT_TRUE(WaitFired("alt-tab")) << "Alt+Tab went past the grab";
    EXPECT_TRUE(WaitFired("super")) << "Super went past the grab";
}

}  // namespace
