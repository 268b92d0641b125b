#include "apps/ClientApp.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "apps/ClientRequestActions.h"
#include "apps/ClientStartup.h"
#include "channel/methods/ChannelMethods.h"
#include "config/BrowserZone.h"
#include "config/ClientPaths.h"
#include "config/ClientSettings.h"
#include "config/StringTable.h"
#include "courses/manager/TabPageCourseManager.h"
#include "courses/view/CourseViewWnd.h"
#include "exam/answers/AnswerStore.h"
#include "exam/camera/ExamCameraModule.h"
#include "exam/paper/LoadExamPaperWnd.h"
#include "exam/question/ExamQuestionWnd.h"
#include "exam/window/ExamWnd.h"
#include "foundation/ClientLog.h"
#include "platform/desktop/DesktopSession.h"
#include "platform/inhibit/SessionManagerGuard.h"
#include "platform/instance/SingleInstance.h"
#include "platform/memory/MemoryTuning.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/signals/StopSignals.h"
#include "platform/x11/X11MessageFilter.h"
#include "platform/x11/X11Windows.h"
#include "shell/MainFrame.h"
#include "shell/TabPageSet.h"
#include "shell/TabPageSystemInfo.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/SkinStore.h"
#include "ui/browser/BrowserHost.h"
#include "ui/browser/PageEngine.h"
#include "update/AutoUpdateWnd.h"

namespace {

constexpr const char* kInstanceLockName = "Kivo_Qorvane";
constexpr const char* kMainFrameName = "QorvaneUI";
constexpr const char* kShowNormalArgument = "-ShowNormal";
// The system's own text, fixed as it stands (not from the string table).
constexpr const char* kShutdownRefusedNotice = "后台正在提交考试答案，已阻止关机！";

bool HaveDisplay() {
    // An explicit platform (offscreen in tests) needs no display server.
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

std::string ProgramDirOf(const char* argv0) {
    std::string full = ProgramPath();
    if (full.empty()) {
        full = argv0;
    }
    size_t cut = full.find_last_of('/');
    return cut == std::string::npos ? "./" : full.substr(0, cut + 1);
}

// The end of the session is refused while answers are pending; the learner
// then learns why the shutdown did not happen.
void AnswerSessionEnd(CMainFrame* mainFrame, QSessionManager& manager) {
    const bool mayEnd = mainFrame->SessionMayEnd();
    LOG_INFO("WM_QUERYENDSESSION:ret=%d", mayEnd ? 1 : 0);
    if (mayEnd) {
        return;
    }
    // Only a session manager that lets us interact can be told no.
    const bool refused = manager.allowsInteraction();
    if (refused) {
        // The refusal travels with the end of the interaction, which the
        // session manager connection sends once this handler returns.
        manager.cancel();
    }
    LOG_INFO("WM_ENDSESSION:wParam=%d,lParam=%d", refused ? 0 : 1, 0);
    if (refused) {
        QTimer::singleShot(0, mainFrame, [mainFrame] {
            ShowMessageBox(mainFrame, QString::fromUtf8(kShutdownRefusedNotice),
                           MessageBoxKind::kWarning, 0);
        });
    }
}

// Another client runs in this session: show its main window, then end.
void ShowRunningClient() {
    QString title = StringTable::Text("STR_WINDOW_TITLE");
    NativeWindow window =
        FindTopLevelWindow(WindowImplBaseNew::kWindowClass, title.toUtf8().toStdString());
    if (window != 0) {
        SendWindowMessage(window, WM_SHOWWINDOW_NORMAL, 0, 0);
    }
}

}  // namespace

namespace {

// The skin archive beside the program and the language table inside it.
void LoadSkin(const char* argv0) {
    SkinStore::Instance().SetResourcePath(ProgramDirOf(argv0));
    StringTable::Init([](std::string& bytes) {
        return SkinStore::Instance().Read(StringTable::kFileName, bytes);
    });
}

// Messages other programs send to our windows reach their handlers.
void RouteNativeMessages() {
    InstallWindowMessageFilter(
        [](NativeWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
            if (WindowImplBaseNew* target = WindowImplBaseNew::FromNativeHandle(window)) {
                target->HandleMessage(message, wParam, lParam);
            }
        });
}

// Ctrl+C and termination requests end the loop.
std::unique_ptr<QSocketNotifier> WatchStopSignals(QApplication& app) {
    int stopFd = OpenStopSignalDescriptor();
    auto notifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &app, [stopFd] {
        int signal = ReadStopSignal(stopFd);
        LOG_INFO("stop signal %d received", signal);
        // exit, not quit: quit asks the windows first, and the main frame refuses to close.
        QCoreApplication::exit(0);
    });
    return notifier;
}

// The first tab, with the main frame's timers and menu commands.
void AddCourseManagerPage(CMainFrame* mainFrame) {
    auto* page = new CTabPageCourseManager(mainFrame);
    mainFrame->SetTabPage(CMainFrame::kTabCourseManage, page);
    CMainFrame::CourseManagerHooks hooks;
    hooks.currentUserChanged = [page] { return page->CheckUserChanged(); };
    hooks.loadLessonList = [page] { page->LoadLessons(); };
    hooks.refreshLessonList = [page] { page->RefreshLessons(); };
    hooks.confirmDelete = [page](WPARAM row) { page->ConfirmDelete(static_cast<int>(row)); };
    hooks.menuCommand = [page](MenuCommand command) {
        if (command == MenuCommand::kStartLesson) {
            page->StartRemembered();
        } else if (command == MenuCommand::kStopLesson) {
            page->StopRemembered();
        } else if (command == MenuCommand::kDeleteTicked) {
            page->DeleteTicked();
        }
    };
    mainFrame->SetCourseManagerHooks(std::move(hooks));
    mainFrame->SetTabPage(CMainFrame::kTabProxySet, new CTabPageSet(mainFrame));
    mainFrame->SetTabPage(CMainFrame::kTabSystemInfo, new CTabPageSystemInfo(mainFrame));
}

// The main frame, with the answer store's hold on the end of the session.
CMainFrame* CreateMainFrame(QApplication& app) {
    auto* mainFrame = new CMainFrame();
    AddCourseManagerPage(mainFrame);
    if (!mainFrame->Create(nullptr, kMainFrameName, CMainFrame::kStyle, CMainFrame::kExStyle)) {
        delete mainFrame;
        return nullptr;
    }
    mainFrame->CenterWindow();
    AnswerStore::Instance().InstallShutdownBlock();
    mainFrame->SetSessionEndQuery([] { return !AnswerStore::Instance().HasPendingAnswers(); });
    // A session manager that goes away must not take the client with it.
    InstallSessionManagerErrorHandler();
    // The session manager asks before logging out or shutting down.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &app,
        [mainFrame](QSessionManager& manager) { AnswerSessionEnd(mainFrame, manager); });
    return mainFrame;
}

}  // namespace

namespace {

// Set before the application object exists, logged once the log is open.
bool g_forcedX11 = false;

// What the client sets before the application object exists.
void PrepareProcess() {
    KeepLargeBuffersWarm();
    BlockStopSignals();
    // The window layer and the exam's keyboard grab are X11: in a Wayland
    // session the client runs under Xwayland.
    g_forcedX11 = PreferX11Platform();
    BrowserHost::PrepareEngine();
    // A window that gets a native window of its own (a message box, an
    // embedded program) must not turn every sibling into a native window:
    // pages render badly in native windows and the stacking of the exam
    // window's controls would change.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
}

// The channel's methods and what they ask of windows and stores, the
// stores, the folders and the browser's policy: everything up to the first
// window. False when the client cannot start.
bool StartServices() {
    // In place before the channel accepts its first connection.
    InstallClientRequestActions();
    for (const std::string& fault : RegisterChannelMethods()) {
        LOG_ERROR("channel methods: %s", fault.c_str());
    }
    InstallExamExternalActions();
    if (InitClient() != 0) {
        LOG_ERROR("program init fail!\n");
        return false;
    }
    const ClientPaths& paths = GetClientPaths();
    CExamQuestionWnd::SetDataPath(paths.dataPath);
    CCourseViewWnd::SetDataPath(paths.dataPath);
    LOG_INFO("program init succ!\n");
    if (g_forcedX11) {
        LOG_INFO("Wayland session: the client runs as an X11 client (Xwayland)");
    }
    BrowserZone::EnsureBrowserEmulation(ClientSettings(paths.settingsFile));
    BrowserHost::SetSitePolicy([](const QUrl& url) {
        const BrowserZone::SiteSettings site =
            BrowserZone::ForSite(url.scheme().toStdString(), url.host().toStdString());
        SitePolicy policy;
        policy.javascript = site.javascript;
        policy.openWindows = site.popups;
        policy.insecureContent = site.insecureContent;
        return policy;
    });
    InstallExamCamera(paths.dataPath);
    RouteNativeMessages();
    return true;
}

// After the event loop: an exam still open gives the desktop back
// (keyboard, keyboard map, stacking), no container outlives the client, and
// what is pending is handed in.
void ShutDown(CMainFrame* mainFrame) {
    if (CExamQuestionWnd* question = ExistingQuestionWindow()) {
        question->CloseContainer();
    }
    if (CCourseViewWnd* view = ExistingCourseViewWindow()) {
        view->CloseCourse(false);
    }
    if (CExamWnd* exam = ExistingExamWindow()) {
        exam->EndExam();
    }
    LOG_INFO("program exit !\n");
    StopUpdateDownload();
    AnswerStore::Instance().Stop();
    delete mainFrame;
}

}  // namespace

int RunClient(int argc, char** argv) {
    if (!HaveDisplay()) {
        fprintf(stderr, "QorvanePlatform needs a graphical session (no DISPLAY).\n");
        return 1;
    }
    PrepareProcess();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    MessageHub::Install();
    LoadSkin(argv[0]);

    SingleInstance instance;
    if (instance.Acquire(kInstanceLockName) == SingleInstance::Result::HeldElsewhere) {
        ShowRunningClient();
        return 0;
    }
    if (!StartServices()) {
        return 1;
    }
    std::unique_ptr<QSocketNotifier> stopNotifier = WatchStopSignals(app);
    CMainFrame* mainFrame = CreateMainFrame(app);
    if (!mainFrame) {
        LOG_ERROR("program init fail!\n");
        return 1;
    }
    if (argc > 1 && strcasecmp(argv[1], kShowNormalArgument) == 0) {
        mainFrame->ShowWindow(true, true);
    } else {
        mainFrame->MinimizeToTray();
    }
    const int status = app.exec();
    ShutDown(mainFrame);
    return status;
}
