// The supervised exam end to end: the real client in the private X session,
// the platform stand-in serving the exam pages, the channel driven over HTTP
// and everything checked from outside (X tools, another X client, the
// stand-in's journal of what the pages reported).

#include <gtest/gtest.h>

#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <thread>
#include <tuple>

#include <signal.h>
#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/X11Windows.h"
#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/ExamPage.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kExamTitle = "Qorvane 在线考试";
const std::string kBoxTitle = "Qorvane";
const std::string kMonitorTitle = "系统监视器";
const std::string kPaperTitle = "试卷加载提示信息";
constexpr int kPageWaitMs = 30000;
constexpr int kQuietMs = 1500;
// A page reports a step 300 ms before it acts; the action then goes through
// the GUI thread.
constexpr int kSettleMs = 1000;
// The first tab's button in the exam window's title area.
constexpr int kFirstTabButtonX = 30;
constexpr int kTitleRowY = 16;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
constexpr uint32_t kClientSaveAnswer = 3032;

std::string Status(int status) {
    return JsonpStatus("examStatus", std::to_string(status));
}

class ExamGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        m_port = FreeLocalPort();
        std::string channel = "http://127.0.0.1:" + std::to_string(m_port);
        ASSERT_TRUE(m_platform.Start("PlatformStandin",
                                     {"--web", "0", "--update", "0", "--box", "0", "--data",
                                      m_dir.file("platform"), "--channel", channel}))
            << m_platform.Failure();
        m_web = m_platform.Url("web");
        m_journal = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port)) << m_client.Output();
    }
    void TearDown() override {
        Exam("StopExam");
        X11Session::Screenshot("end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    std::string Exam(const std::string& method, const std::string& extra = "") {
        return CallChannel(m_port, "/EXAMREQUEST.KIVO", method, extra);
    }
    std::string StartExam(const std::string& json) {
        return Exam("StartExam", "&RequestArgs=" + HttpFetch::Encode(json));
    }
    // An exam on a page of the stand-in; the page learns the client's channel.
    std::string StartExamOn(const std::string& page, bool isTop, const std::string& more = "") {
        std::string url = m_web + page + (page.find('?') == std::string::npos ? "?" : "&") +
                          "channel=http://127.0.0.1:" + std::to_string(m_port);
        return StartExam("[{\"userUid\":\"u1\",\"examUid\":\"e1\",\"domainUrl\":\"" + url +
                         "\",\"isTop\":\"" + (isTop ? "true" : "false") + "\"" + more + "}]");
    }

    // What a page's script reported through /demo/event: [tag, args...].
    static bool IsEvent(const Json::Value& entry, const std::string& fn) {
        return ExamPage::IsEvent(entry, fn);
    }
    static std::vector<std::string> EventArgs(const Json::Value& entry) {
        return ExamPage::EventArgs(entry);
    }
    bool WaitEvent(const std::string& fn, const std::vector<std::string>& args = {},
                   int timeoutMs = kPageWaitMs) {
        return ExamPage::WaitEvent(*m_journal, fn, args, timeoutMs);
    }
    std::vector<std::string> LastEventArgs(const std::string& fn) {
        std::vector<std::string> last;
        for (const Json::Value& entry : m_journal->Entries()) {
            if (IsEvent(entry, fn)) {
                last = EventArgs(entry);
            }
        }
        return last;
    }
    int CountEvents(const std::string& fn) {
        int count = 0;
        for (const Json::Value& entry : m_journal->Entries()) {
            count += IsEvent(entry, fn) ? 1 : 0;
        }
        return count;
    }
    std::vector<std::string> KeysSeen(const std::string& tag) {
        return ExamPage::KeysSeen(*m_journal, tag);
    }
    bool WaitRequest(const std::string& path, int timeoutMs = kPageWaitMs) {
        return m_journal->WaitFor(
            [&](const Json::Value& entry) { return entry["path"].asString() == path; }, timeoutMs);
    }
    std::string Probe(const std::vector<std::string>& args) {
        std::vector<std::string> argv{QORVANE_EXAM_PROBE};
        argv.insert(argv.end(), args.begin(), args.end());
        return X11Session::Run(argv);
    }
    std::string WmState(unsigned long window) {
        char id[32];
        snprintf(id, sizeof(id), "0x%lx", window);
        return X11Session::Run({"xprop", "-id", id, "_NET_WM_STATE"});
    }
    std::vector<X11Window> WindowsTitled(const std::string& title) {
        std::vector<X11Window> found;
        for (const X11Window& window : X11Session::Windows()) {
            if (window.title == title) {
                found.push_back(window);
            }
        }
        return found;
    }
    // Type keys the way a keyboard does (XTEST, through every grab).
    void Type(const std::vector<std::string>& keys) {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        X11Session::Run(argv);
    }
    static int ParentOf(int pid) {
        std::string stat = RunCommand("cat /proc/" + std::to_string(pid) + "/stat 2>/dev/null");
        size_t close = stat.rfind(')');
        int parent = 0;
        char state = 0;
        if (close != std::string::npos) {
            sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent);
        }
        return parent;
    }
    // The page renderers: forked by the engine's zygote, a child of the client.
    std::vector<int> RendererPids() {
        std::vector<int> pids;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            int pid = std::stoi(name);
            if (ParentOf(ParentOf(pid)) == m_client.Pid()) {
                pids.push_back(pid);
            }
        }
        return pids;
    }
    // The exam window at _NET_WM_STATE's full screen (the window manager
    // applies it once it has mapped the window).
    bool WaitFullScreen(unsigned long window, std::string& state,
                        const std::string& atom = "_NET_WM_STATE_FULLSCREEN") {
        for (int waited = 0; waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
            state = WmState(window);
            if (state.find(atom) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    std::optional<X11Window> WaitForAnotherWindow(const std::string& title, unsigned long old) {
        for (int waited = 0; waited < X11Session::kWaitMs; waited += X11Session::kPollMs) {
            for (const X11Window& window : WindowsTitled(title)) {
                if (window.id != old) {
                    return window;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return std::nullopt;
    }
    // The title area takes a moment to show or go after the page asked.
    bool WaitTitleArea(bool shown, const std::string& shotName) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPageWaitMs);
        while (TitleAreaShown(shotName) != shown) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
        }
        return true;
    }
    bool TitleAreaShown(const std::string& shotName) {
        auto window = X11Session::WaitForWindow(kExamTitle);
        std::string shot = window ? X11Session::Screenshot(shotName, window->id) : "";
        std::string pixel =
            X11Session::Run({"convert", shot, "-format", "%[pixel:p{1270,12}]", "info:"});
        return pixel.find("(45,108,223)") != std::string::npos;
    }
    bool LockNoticeShown(const std::string& shotName) {
        auto window = X11Session::WaitForWindow(kExamTitle);
        return window && ExamPage::LockNoticeShown(window->id, kScreenHeight, shotName);
    }
    bool WaitLockNotice(bool shown, const std::string& shotName) {
        auto window = X11Session::WaitForWindow(kExamTitle);
        return window && ExamPage::WaitLockNotice(window->id, kScreenHeight, shown, shotName);
    }
    bool WebEngineRunning() {
        std::string children = RunCommand("ps -o comm= --ppid " + std::to_string(m_client.Pid()));
        return children.find("QtWebEngine") != std::string::npos;
    }

    TempDir m_dir;
    int m_port = 0;
    StandinProcess m_platform;
    std::string m_web;
    std::unique_ptr<JournalWatch> m_journal;
    ChildProcess m_client;
};

TEST_F(ExamGui, LockedExamHoldsTheDesktopUntilStopExam) {
    EXPECT_FALSE(WebEngineRunning()) << "an idle client starts no browser";
    EXPECT_EQ(
        RunCommand("grep -c qorvane_webengine /proc/" + std::to_string(m_client.Pid()) + "/maps"),
        "0\n")
        << "nor loads the engine";
    EXPECT_EQ(Exam("CheckExamStatus"), Status(0));
    ChildProcess clipboardOwner;
    ASSERT_TRUE(clipboardOwner.Start({QORVANE_EXAM_PROBE, "clipboard-set", "secret answer"}));
    ASSERT_TRUE(clipboardOwner.WaitForOutput("owned", X11Session::kWaitMs));
    ASSERT_NE(Probe({"clipboard-get"}).find("primary <secret answer>"), std::string::npos);
    ASSERT_NE(X11Session::Run({"xmodmap", "-pke"}).find("XF86Switch_VT_1"), std::string::npos);

    EXPECT_EQ(StartExamOn("/probe.html?tag=locked", true, ",\"isClipboardClear\":\"1\""),
              JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"locked", "true"})) << "window.external before page scripts";
    auto window = X11Session::WaitForWindow(kExamTitle);
    ASSERT_TRUE(window.has_value());
    std::string state;
    EXPECT_TRUE(WaitFullScreen(window->id, state)) << state;
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(X11Session::Geometry(window->id, x, y, width, height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, kScreenWidth);
    EXPECT_EQ(height, kScreenHeight);
    EXPECT_TRUE(WaitFullScreen(window->id, state, "_NET_WM_STATE_ABOVE")) << state;
    EXPECT_EQ(Exam("CheckExamStatus"), Status(1));
    EXPECT_EQ(Exam("ClearExamStatus"), JsonpFailure("exam status is in the exam"));

    // Nothing left to paste, neither with Ctrl+V nor with the middle button.
    std::string pasted = Probe({"clipboard-get"});
    EXPECT_NE(pasted.find("clipboard <>"), std::string::npos) << pasted;
    EXPECT_NE(pasted.find("primary <>"), std::string::npos) << pasted;
    // The keyboard is ours: another program cannot take it (AlreadyGrabbed),
    // and the terminal-switch keys carry no action.
    EXPECT_NE(Probe({"grab"}).find("grab 1"), std::string::npos);
    EXPECT_EQ(X11Session::Run({"xmodmap", "-pke"}).find("XF86Switch_VT_1"), std::string::npos);
    EXPECT_TRUE(m_client.WaitForOutput("exam lock-down holds (Xorg)", X11Session::kWaitMs));
    EXPECT_FALSE(LockNoticeShown("locked-without-notice"));

    Type({"a", "Tab", "b", "Escape", "c", "super", "d", "shift+Tab", "e", "alt+Tab", "f"});
    ASSERT_TRUE(WaitEvent("keydown", {"locked", "f"}));
    EXPECT_EQ(KeysSeen("locked"),
              (std::vector<std::string>{"a", "b", "c", "d", "Shift", "e", "Alt", "f"}));
    EXPECT_EQ(X11Session::ActiveWindowTitle(), kExamTitle);
    X11Session::Screenshot("locked");

    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle));
    EXPECT_NE(Probe({"grab"}).find("grab 0"), std::string::npos);
    EXPECT_NE(X11Session::Run({"xmodmap", "-pke"}).find("XF86Switch_VT_1"), std::string::npos);
    EXPECT_EQ(Exam("CheckExamStatus"), Status(2));
    EXPECT_EQ(Exam("ClearExamStatus"), JsonpOk());
    EXPECT_EQ(Exam("CheckExamStatus"), Status(0));
    // A second stop without a window changes nothing.
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    EXPECT_EQ(Exam("CheckExamStatus"), Status(0));
    clipboardOwner.Stop();
}

// Another program holding the keyboard as a locked exam starts: the exam
// runs with the notice until that program lets go, then locks; where the
// installation requires the lock, the exam is refused with the notice.
TEST_F(ExamGui, AKeyboardHeldElsewhereIsNeverALockInSilence) {
    EXPECT_FALSE(LockNoticeShown("before"));
    ChildProcess holder;
    ASSERT_TRUE(holder.Start({QORVANE_EXAM_PROBE, "hold"}));
    ASSERT_TRUE(holder.WaitForOutput("held 0", X11Session::kWaitMs));
    EXPECT_EQ(StartExamOn("/probe.html?tag=busy", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"busy"}));
    EXPECT_TRUE(m_client.WaitForOutput("exam lock-down does not hold (Xorg): another program holds",
                                       X11Session::kWaitMs));
    EXPECT_TRUE(WaitLockNotice(true, "busy-notice"));
    EXPECT_NE(Probe({"grab"}).find("grab 1"), std::string::npos) << "the holder still has it";

    holder.Stop();
    EXPECT_TRUE(m_client.WaitForOutput("exam lock-down holds now", X11Session::kWaitMs));
    EXPECT_TRUE(WaitLockNotice(false, "busy-locked"));
    EXPECT_NE(Probe({"grab"}).find("grab 1"), std::string::npos) << "now the exam's";
    Type({"a", "Tab", "b"});
    ASSERT_TRUE(WaitEvent("keydown", {"busy", "b"}));
    EXPECT_EQ(KeysSeen("busy"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindowGone(kExamTitle));

    // The same with [Exam] RequireLockdown=1: refused once the learner saw why.
    ASSERT_EQ(m_client.Stop(), 0) << m_client.Output();
    const std::string program = ProgramFolderWith(m_dir, "[Exam]\nRequireLockdown=1\n");
    ASSERT_FALSE(program.empty());
    ChildProcess required;
    ASSERT_TRUE(StartClient(required, m_dir, m_port, {}, {}, program)) << required.Output();
    ChildProcess again;
    ASSERT_TRUE(again.Start({QORVANE_EXAM_PROBE, "hold"}));
    ASSERT_TRUE(again.WaitForOutput("held 0", X11Session::kWaitMs));
    auto refused = std::async(std::launch::async,
                              [&] { return StartExamOn("/probe.html?tag=required", true); });
    for (int waited = 0; waited < X11Session::kWaitMs && WindowsTitled(kExamTitle).size() < 2;
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    ASSERT_EQ(WindowsTitled(kExamTitle).size(), 2u) << "the exam window and the refusal";
    X11Session::Screenshot("lock-required");
    EXPECT_TRUE(LockNoticeShown("lock-required-notice"));
    again.Stop();  // the refusal's OK needs the keyboard
    Type({"Return"});
    EXPECT_EQ(refused.get(), JsonpFailure("start exam fail"));
    EXPECT_TRUE(required.WaitForOutput("exam refused", X11Session::kWaitMs));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(2));
    EXPECT_EQ(required.Stop(), 0) << required.Output();
}

// The exam's own paper-loading window belongs to it (transient-for), so the
// window manager keeps it above even the locked, full-screen exam window.
TEST_F(ExamGui, ThePaperLoadingWindowStaysAboveTheLockedExam) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=paper", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"paper"}));
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=0"), "");
    ASSERT_TRUE(X11Session::WaitForWindow(kPaperTitle));
    EXPECT_TRUE(X11Session::WaitStackedAbove(kPaperTitle, kExamTitle));
    std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
    EXPECT_TRUE(X11Session::WaitStackedAbove(kPaperTitle, kExamTitle, 0))
        << "after the exam's renewals";
}

TEST_F(ExamGui, StoppingTheClientDuringALockedExamGivesTheDesktopBack) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=quit", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"quit"}));
    ASSERT_EQ(X11Session::Run({"xmodmap", "-pke"}).find("XF86Switch_VT_1"), std::string::npos);
    EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    EXPECT_NE(X11Session::Run({"xmodmap", "-pke"}).find("XF86Switch_VT_1"), std::string::npos);
    EXPECT_NE(Probe({"grab"}).find("grab 0"), std::string::npos);
}

TEST_F(ExamGui, UnlockedExamIsFullScreenButLeavesTheKeyboardAlone) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=free", false), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"free"}));
    auto window = X11Session::WaitForWindow(kExamTitle);
    ASSERT_TRUE(window.has_value());
    std::string state;
    EXPECT_TRUE(WaitFullScreen(window->id, state)) << state;
    EXPECT_EQ(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
    EXPECT_NE(Probe({"grab"}).find("grab 0"), std::string::npos);
    Type({"a", "Tab", "b"});
    ASSERT_TRUE(WaitEvent("keydown", {"free", "b"}));
    EXPECT_EQ(KeysSeen("free"), (std::vector<std::string>{"a", "Tab", "b"}));
}

TEST_F(ExamGui, TheTaskMonitorWindowIsClosedWhileTheExamIsLocked) {
    ChildProcess before;
    ASSERT_TRUE(before.Start({QORVANE_FIXTURE_WINDOW, kMonitorTitle}));
    ASSERT_TRUE(X11Session::WaitForWindow(kMonitorTitle).has_value());
    EXPECT_EQ(StartExamOn("/probe.html?tag=monitor", true), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindowGone(kMonitorTitle));
    EXPECT_EQ(before.Wait(X11Session::kWaitMs), 0);

    ChildProcess during;
    ASSERT_TRUE(during.Start({QORVANE_FIXTURE_WINDOW, kMonitorTitle}));
    EXPECT_TRUE(during.WaitForOutput("shown", X11Session::kWaitMs));
    EXPECT_EQ(during.Wait(X11Session::kWaitMs), 0) << "closed while the exam runs";
    EXPECT_EQ(Exam("CheckExamStatus"), Status(1));
}

TEST_F(ExamGui, PagesOpenInTabsAndClosingTheLastTabEndsTheExam) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=tabs&do=blank", false), JsonpOk());
    ASSERT_TRUE(WaitEvent("action", {"tabs", "blank", "ok"}));
    ASSERT_TRUE(WaitRequest("/question.html"));
    EXPECT_EQ(WindowsTitled(kExamTitle).size(), 1u) << "a tab, never a window";

    EXPECT_EQ(StartExamOn("/probe.html?tag=popup&do=open", false), JsonpOk());
    ASSERT_TRUE(WaitEvent("action", {"popup", "open", "ok"}));
    ASSERT_TRUE(m_journal->WaitFor(
        [](const Json::Value& entry) {
            return entry["path"].asString() == "/question.html" &&
                   entry["query"]["q"].asString() == "popup";
        },
        kPageWaitMs));
    EXPECT_EQ(WindowsTitled(kExamTitle).size(), 1u);

    // The title area (above the pages, the layout's blue) shows with more than one tab.
    EXPECT_TRUE(TitleAreaShown("tabs"));

    // Unknown external methods answer quietly; the window stays.
    EXPECT_EQ(StartExam("[{\"domainUrl\":\"" + m_web + "/probe.html?tag=unknown&do=unknown\"}]"),
              JsonpOk());
    ASSERT_TRUE(WaitEvent("action", {"unknown", "unknown", "ok"}));
    EXPECT_EQ(Exam("StopExam"), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindowGone(kExamTitle));

    // A fresh exam has two tabs. With the blank tab in front, the page closes
    // it; the page is then the only tab and the title area goes, until the
    // page asks for it; closing the last tab ends the exam.
    EXPECT_EQ(StartExam("[{\"domainUrl\":\"" + m_web + "/probe.html?tag=cycle&do=cycle\"}]"),
              JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"cycle"}));
    auto window = X11Session::WaitForWindow(kExamTitle);
    ASSERT_TRUE(window.has_value());
    std::string state;
    ASSERT_TRUE(WaitFullScreen(window->id, state)) << state;
    ASSERT_TRUE(X11Session::ClickInWindow(window->id, kFirstTabButtonX, kTitleRowY));
    ASSERT_TRUE(WaitEvent("step", {"cycle", "closed"}));
    EXPECT_TRUE(WaitTitleArea(false, "one-tab"));
    ASSERT_TRUE(WaitEvent("step", {"cycle", "shown"}));
    EXPECT_TRUE(WaitTitleArea(true, "title-shown"));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(1));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(2));
    EXPECT_TRUE(m_client.Running());
}

TEST_F(ExamGui, DownloadsAndContextMenusAreRefused) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=dl&do=download", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("action", {"dl", "download", "ok"}));
    ASSERT_TRUE(WaitRequest("/download/notes.txt"));
    EXPECT_TRUE(m_client.WaitForOutput("download refused", X11Session::kWaitMs));

    std::vector<unsigned long> before = X11Session::WindowsOfPid(m_client.Pid());
    X11Session::ClickAt(400, 500, 3);
    Type({"a"});  // the menu would have shown by the time the page has the key
    ASSERT_TRUE(WaitEvent("keydown", {"dl", "a"}));
    EXPECT_EQ(X11Session::WindowsOfPid(m_client.Pid()).size(), before.size());
    std::error_code ignored;
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("home/Downloads/notes.txt"), ignored));
}

TEST_F(ExamGui, CameraFaultsPauseTheExamOnlyWhenTheyLast) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=cam", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"cam"}));

    // 5 then 6 while the notice counts down: recovered, no pause.
    auto fault =
        std::async(std::launch::async, [&] { return Exam("CameraControl", "&errCode=5"); });
    auto notice = X11Session::WaitForWindow(kBoxTitle);
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(Exam("CameraControl", "&errCode=6"), "");
    // The countdown ends; the recovery notice waits for OK.
    auto recovered = WaitForAnotherWindow(kBoxTitle, notice->id);
    ASSERT_TRUE(recovered.has_value());
    X11Session::Screenshot("camera-recovered");
    ASSERT_EQ(fault.wait_for(std::chrono::milliseconds(kQuietMs)), std::future_status::timeout);
    ASSERT_TRUE(X11Session::ClickInWindow(recovered->id, 170, 100));
    EXPECT_EQ(fault.get(), "");
    EXPECT_EQ(CountEvents("doPauseExam"), 0);

    // 5 alone: the notice, then the page is paused; another 5 stays silent.
    EXPECT_EQ(Exam("CameraControl", "&errCode=5"), "");
    ASSERT_TRUE(WaitEvent("doPauseExam", {"cam"}));
    EXPECT_EQ(Exam("CameraControl", "&errCode=5"), "");
    EXPECT_FALSE(X11Session::FindWindow(kBoxTitle).has_value());
    EXPECT_EQ(Exam("CameraControl", "&errCode=7"), "");
    EXPECT_EQ(CountEvents("doPauseExam"), 1);
}

TEST_F(ExamGui, SaveResultsReachThePageAsYesOrNo) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=save", false), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"save"}));
    auto window = X11Session::WaitForWindow(kExamTitle);
    ASSERT_TRUE(window.has_value());
    // Through the channel, as the page's own FileCache call; no param is 0.
    // Each call must bring one more call of the page's function.
    const std::string channel = "http://127.0.0.1:" + std::to_string(m_port);
    for (auto [param, flag, answer] : std::vector<std::tuple<std::string, int, std::string>>{
             {"&param=1", 1, "Y"}, {"&param=0", 0, "N"}, {"&param=2", 2, "N"}, {"", 0, "N"}}) {
        const int before = CountEvents("OnClientSaveAnswerHandler");
        auto reply = HttpFetch::Get(channel + "/COMMANDREQUEST.KIVO?MethodName=FileCache" + param +
                                    "&CallbackFunc=cb");
        EXPECT_EQ(reply.body, "") << param;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPageWaitMs);
        while (CountEvents("OnClientSaveAnswerHandler") <= before &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(CountEvents("OnClientSaveAnswerHandler"), before + 1) << param;
        EXPECT_EQ(LastEventArgs("OnClientSaveAnswerHandler"),
                  (std::vector<std::string>{"save", answer}))
            << param;
        EXPECT_TRUE(m_client.WaitForOutput(
            "OnClientSaveAnswerHandler:param1=" + std::to_string(flag), X11Session::kWaitMs));
    }
    // The message itself, as another program would send it, does the same.
    ASSERT_TRUE(SendWindowMessage(window->id, kClientSaveAnswer, 0, 1));
    EXPECT_TRUE(m_client.WaitForOutput("OnClientSaveAnswerHandler:param1=1", X11Session::kWaitMs));
}

TEST_F(ExamGui, RequestsThatCannotOpenAnExamAreAnswered) {
    EXPECT_EQ(StartExam("{broken"), JsonpFailure("error json formart!"));
    EXPECT_EQ(Exam("StartExam"), JsonpFailure("error json formart!"));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(0));

    EXPECT_EQ(StartExam("[{}]"), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindow(kExamTitle).has_value());
    EXPECT_EQ(Exam("CheckExamStatus"), Status(1));

    // No camera on this machine: the exam is refused after the learner saw why.
    auto refused = std::async(std::launch::async, [&] {
        return StartExamOn("/probe.html?tag=nocam", false, ",\"captureCamera\":\"2\"");
    });
    for (int waited = 0; waited < X11Session::kWaitMs && WindowsTitled(kExamTitle).size() < 2;
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    ASSERT_EQ(WindowsTitled(kExamTitle).size(), 2u) << "the exam window and the refusal";
    X11Session::Screenshot("camera-refused");
    Type({"Return"});
    EXPECT_EQ(refused.get(), JsonpFailure("start exam fail"));
    EXPECT_TRUE(m_client.WaitForOutput("Open camera failed.", X11Session::kWaitMs));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(2));
}

TEST_F(ExamGui, AKilledRendererLeavesTheExamUsable) {
    EXPECT_EQ(StartExamOn("/probe.html?tag=crash", true), JsonpOk());
    ASSERT_TRUE(WaitEvent("loaded", {"crash"}));
    std::vector<int> renderers = RendererPids();
    ASSERT_FALSE(renderers.empty());
    for (int pid : renderers) {
        ASSERT_EQ(kill(pid, SIGKILL), 0);
    }
    // The page comes back in a fresh renderer and still takes keys.
    m_journal->Entries();
    ASSERT_TRUE(m_journal->WaitFor(
        [&](const Json::Value& entry) {
            return IsEvent(entry, "loaded") && CountEvents("loaded") >= 2;
        },
        kPageWaitMs));
    Type({"z"});
    EXPECT_TRUE(WaitEvent("keydown", {"crash", "z"}));
    EXPECT_EQ(Exam("CheckExamStatus"), Status(1));
    EXPECT_TRUE(m_client.Running());
}

}  // namespace
