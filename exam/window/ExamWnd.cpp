#include "exam/window/ExamWnd.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <ctime>
#include <mutex>

#include "channel/methods/ExamStatus.h"
#include "config/StringTable.h"
#include "config/VersionSetting.h"
#include "exam/window/ExamCamera.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "peers/site/PlatformServer.h"
#include "platform/desktop/DesktopSession.h"
#include "platform/x11/X11GrabCheck.h"
#include "platform/x11/X11Lockdown.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/browser/ExternalInterface.h"
#include "ui/browser/WebBrowser.h"

namespace {

std::mutex g_examLock;
ExamStartArgs g_currentExam;

constexpr const char* kWindowName = "CExamWnd";
constexpr const char* kBlankPage = "about:blank";
// The system's own texts, fixed as they stand (not from the string table).
constexpr const char* kCameraFailedText =
    "启用摄像头失败，无法进入考试。本场考试需要启用摄像头监控功能";
constexpr const char* kCameraFaultText =
    "摄像设备出现异常，正在暂停您的考试！请确保设备正常连接后重新进入考试！";
constexpr const char* kCameraBackText = "摄像设备已恢复正常";
constexpr int kCameraFaultCode = 5;
constexpr int kCameraLostCode = -1;
constexpr int kCameraBackCode = 6;
constexpr int kGrabSuccess = 0;

// Quits a wait once the window is on the screen.
class ShownWatcher : public QObject {
public:
    ShownWatcher(QWindow* window, QEventLoop* loop) : m_window(window), m_loop(loop) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed()) {
            m_loop->quit();
        }
        return false;
    }

private:
    QWindow* m_window;
    QEventLoop* m_loop;
};

bool IsTopExam() {
    std::lock_guard<std::mutex> lock(g_examLock);
    return g_currentExam.isTop;
}

void ClearClipboards() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return;
    }
    // Middle-click pastes the selection on X11: the same hole as the clipboard.
    clipboard->clear(QClipboard::Clipboard);
    if (clipboard->supportsSelection()) {
        clipboard->clear(QClipboard::Selection);
    }
}

}  // namespace

bool HeldBackByLockedExam(const char* what) {
    CExamWnd* exam = ExistingExamWindow();
    if (exam && exam->IsCreated() && exam->LockedDown()) {
        LOG_WARN("%s held back: a locked exam holds the screen", what);
        return true;
    }
    return false;
}

ExamStartArgs CurrentExam() {
    std::lock_guard<std::mutex> lock(g_examLock);
    return g_currentExam;
}

CExamWnd::CExamWnd() = default;

CExamWnd::~CExamWnd() {
    StopLockdown();
    WindowSingleton<CExamWnd>::Forget(this);
}

void CExamWnd::InitAfterCreate() {
    m_tabTitle = FindControl("tab_title");
    m_tabBody = FindControl<QStackedWidget>("tab_body");
    m_tabLine = FindControl("tab_line");
    if (m_tabTitle && !m_tabTitle->layout()) {  // an older skin without the row
        auto* row = new QHBoxLayout(m_tabTitle);
        row->setContentsMargins(4, 2, 4, 2);
        row->addStretch();
    }
    if (m_tabTitle) {
        m_tabTitle->hide();
    }
    m_lockNotice = FindControl<QLabel>("lockdown_notice");
    if (!m_lockNotice) {  // an older skin without it
        m_lockNotice = new QLabel(GetWidget());
        m_lockNotice->setWordWrap(true);
        m_lockNotice->setStyleSheet("background: #b3261e; color: white; padding: 8px 16px;");
        if (auto* column = qobject_cast<QBoxLayout*>(GetWidget()->layout())) {
            column->addWidget(m_lockNotice);
        }
    }
    m_lockNotice->hide();
}

bool CExamWnd::OpenExam(const ExamStartArgs& args) {
    m_topmost.Reset();
    m_cameraFault = false;
    {
        std::lock_guard<std::mutex> lock(g_examLock);
        g_currentExam = args;
    }
    if (args.isClipboardClear) {
        ClearClipboards();
    }
    if (!IsCreated()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            m_screenWidth = screen->geometry().width();
            m_screenHeight = screen->geometry().height();
        }
        if (!Create(nullptr, kWindowName, kStyle, 0)) {
            return false;
        }
        GetWidget()->setWindowTitle(StringTable::Text("STR_EXAM"));
    }
    // Covers the screen even before the window manager applies the state.
    GetWidget()->setGeometry(0, 0, m_screenWidth, m_screenHeight);
    GetWidget()->showFullScreen();
    PutOnTop();

    AddTab();
    SelectTab(TabCount() - 1);
    Navigate(kBlankPage);
    UpdateTitleArea();

    if (args.isTop) {
        StartLockdown();
        SetTimer(kTopmostTimer, kTopmostIntervalMs);
        if (!CheckLockdownAtStart()) {
            return false;
        }
    } else {
        KillTimer(kTopmostTimer);
        StopLockdown();
    }

    if (args.captureCamera == kCameraMode) {
        if (!m_camera) {
            m_camera = CreateExamCamera();
        }
        // The snapshots' file names start with it.
        std::string prefix = args.userUid + args.examGradeUid;
        if ((!prefix.empty() && !IsPlainFileName(prefix)) ||
            !m_camera->Open(kCameraMode, GetWidget(), prefix)) {
            LOG_ERROR("Open camera failed.");
            QMessageBox::critical(GetWidget(), StringTable::Text("STR_EXAM"),
                                  QString::fromUtf8(kCameraFailedText));
            return false;
        }
    }

    AddTab();
    SelectTab(TabCount() - 1);
    Navigate(QString::fromStdString(args.domainUrl));
    examStatus = kExamStatusRunning;
    return true;
}

bool CExamWnd::EndExam() {
    if (m_camera) {
        m_camera->Close();
        m_camera.reset();
    }
    if (IsCreated()) {
        KillTimer(kTopmostTimer);
        KillTimer(kCameraTimer);
        StopLockdown();
        // Ended before the window goes: tearing down its pages takes a moment,
        // and nobody may see the window gone while the exam still runs.
        examStatus = kExamStatusEnded;
        DestroyWindow();
    }
    m_tabs.clear();
    StopLockdown();
    return true;
}

void CExamWnd::OnFinalMessage() {
    StopLockdown();
    m_tabs.clear();
    m_titleButtons.clear();
    m_tabTitle = nullptr;
    m_tabBody = nullptr;
    m_tabLine = nullptr;
    m_lockNotice = nullptr;
    WindowSingleton<CExamWnd>::Forget(this);
    deleteLater();
}

void CExamWnd::OnClose(bool& handled) {
    // Only the exam's own end closes the window; the window manager's close
    // button or Alt+F4 would otherwise end a running exam unnoticed.
    handled = examStatus == kExamStatusRunning;
}

bool CExamWnd::OnCameraStatus(int code) {
    if (!IsCreated()) {
        return false;
    }
    if (code == kCameraFaultCode || code == kCameraLostCode) {
        if (m_cameraFault) {
            return true;
        }
        m_cameraFault = true;
        QPointer<CExamWnd> self(this);
        ShowMessageBox(this, QString::fromUtf8(kCameraFaultText), MessageBoxKind::kCountdown,
                       kCameraFaultSeconds);
        if (!self) {
            return true;
        }
        if (m_cameraFault) {
            MessageHub::Post(this, WM_PAUSE_EXAM, 0, 0);
        } else {
            ShowMessageBox(this, QString::fromUtf8(kCameraBackText), MessageBoxKind::kWarning, 0);
        }
    } else if (code == kCameraBackCode) {
        m_cameraFault = false;
    }
    return true;
}

bool CExamWnd::Navigate(const QString& url) {
    CWebBrowserUI* browser = CurrentBrowser();
    if (!browser) {
        return false;
    }
    std::string address = PlatformServer::ExamPageAddress(url.toStdString(), time(nullptr));
    browser->NavigateUrl(QString::fromStdString(address));
    return true;
}

void CExamWnd::AddTab() {
    if (!m_tabBody) {
        return;
    }
    auto* page = new QWidget();
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* browser = new CMyWebBrowser(page);
    browser->SetWebBrowserEventHandler(this);
    column->addWidget(browser);
    m_tabBody->addWidget(page);
    m_tabs.emplace_back(browser);
    m_titleForced = false;
    connect(browser, &CWebBrowserUI::titleChanged, this, [this] { UpdateTitleArea(); });
    UpdateTitleArea();
}

void CExamWnd::CloseTab(int index) {
    if (!m_tabBody || index < 0 || index >= TabCount()) {
        return;
    }
    QWidget* page = m_tabBody->widget(index);
    m_tabBody->removeWidget(page);
    m_tabs.erase(m_tabs.begin() + index);
    // The call may come from the closing page itself: delete it afterwards.
    page->hide();
    page->deleteLater();
    m_titleForced = false;
    if (!m_tabs.empty()) {
        int next = index < 2 ? 0 : index - 1;
        if (next < TabCount()) {
            SelectTab(next);
        }
        UpdateTitleArea();
        return;
    }
    EndExam();
}

void CExamWnd::ShowTitleBar() {
    if (m_tabTitle) {
        m_titleForced = true;
        m_tabTitle->show();
    }
}

int CExamWnd::CurrentTab() const {
    return m_tabBody ? m_tabBody->currentIndex() : -1;
}

void CExamWnd::SelectTab(int index) {
    if (m_tabBody && index >= 0 && index < m_tabBody->count()) {
        m_tabBody->setCurrentIndex(index);
        UpdateTitleArea();
        if (CWebBrowserUI* browser = CurrentBrowser()) {
            browser->setFocus();
        }
    }
}

CWebBrowserUI* CExamWnd::CurrentBrowser() const {
    int index = CurrentTab();
    if (index < 0 || index >= TabCount()) {
        return nullptr;
    }
    return m_tabs[static_cast<size_t>(index)].data();
}

void CExamWnd::UpdateTitleArea() {
    if (!m_tabTitle) {
        return;
    }
    // One button per tab, named after its page; a click brings the tab up.
    auto* row = qobject_cast<QHBoxLayout*>(m_tabTitle->layout());
    while (static_cast<int>(m_titleButtons.size()) > TabCount()) {
        if (QPushButton* extra = m_titleButtons.back()) {
            extra->hide();
            extra->deleteLater();  // it may be the button being clicked
        }
        m_titleButtons.pop_back();
    }
    while (static_cast<int>(m_titleButtons.size()) < TabCount()) {
        int index = static_cast<int>(m_titleButtons.size());
        auto* button = new QPushButton(m_tabTitle);
        button->setObjectName(QStringLiteral("tab_button_%1").arg(index));
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, index] { SelectTab(index); });
        if (row) {
            row->insertWidget(index, button);
        }
        m_titleButtons.emplace_back(button);
    }
    for (int i = 0; i < TabCount(); ++i) {
        QPushButton* button = m_titleButtons[static_cast<size_t>(i)];
        CMyWebBrowser* browser = m_tabs[static_cast<size_t>(i)];
        QString title = browser ? browser->Title() : QString();
        if (button) {
            button->setText(title.isEmpty() ? QString::number(i + 1) : title);
            button->setChecked(i == CurrentTab());
        }
    }
    m_tabTitle->setVisible(m_titleForced || TabCount() > 1);
}

void CExamWnd::PutOnTop() {
    QWidget* widget = GetWidget();
    if (!widget) {
        return;
    }
    if (!widget->isFullScreen()) {
        widget->showFullScreen();
    }
    widget->raise();
    widget->activateWindow();
}

void CExamWnd::StartLockdown() {
    QWidget* widget = GetWidget();
    if (!widget) {
        return;
    }
    if (!m_lockedDown) {
        m_lockedDown = true;
        qApp->installEventFilter(this);
        if (!X11SessionActive()) {
            static bool told = false;
            if (!told) {
                told = true;
                LOG_WARN("no X11 session: the exam cannot hold the keyboard");
            }
        }
        if (DisableTerminalSwitch()) {
            LOG_INFO("terminal switch keys disabled for the exam");
        }
        if (!m_desktop) {
            m_desktop =
                ClassifyDesktop(ServerIsXwayland(), WindowManagerName(), CurrentDesktopName());
        }
    }
    SetWindowAbove(NativeHandle(), true);
    int status = GrabKeyboard(NativeHandle());
    if (status != kGrabSuccess) {
        LOG_WARN("keyboard grab for the exam failed: %d", status);
    }
}

void CExamWnd::WaitUntilShown() {
    QWindow* window = GetWidget() ? GetWidget()->windowHandle() : nullptr;
    if (!window || window->isExposed()) {
        return;
    }
    QEventLoop loop;
    ShownWatcher watcher(window, &loop);
    QTimer::singleShot(kShownWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

LockdownVerdict CExamWnd::JudgeCurrentLockdown(int grabStatus) {
    LockdownFacts facts;
    facts.desktop = m_desktop.value_or(DesktopKind::kXorg);
    facts.grabStatus = grabStatus;
    facts.secondClientStatus = grabStatus == kGrabSuccess ? SecondClientGrabStatus() : -1;
    if (facts.desktop == DesktopKind::kMutter) {
        // Mutter matches the rules against the class the window really has.
        std::string instance, className;
        ReadWindowClass(NativeHandle(), instance, className);
        facts.mutterGrants =
            MutterGrantsGrab(MutterGrabAccessRules().value_or(std::vector<std::string>{}), instance,
                             className, true);
    }
    return JudgeLockdown(facts);
}

bool CExamWnd::CheckLockdownAtStart() {
    QPointer<CExamWnd> self(this);
    WaitUntilShown();
    if (!self || !IsCreated() || !m_lockedDown) {
        return false;  // ended while it was being shown
    }
    const int status = TakeKeyboard();
    m_grabHeld = status == kGrabSuccess;
    const LockdownVerdict verdict = JudgeCurrentLockdown(status);
    const char* desktop = DesktopKindName(m_desktop.value_or(DesktopKind::kXorg));
    const LockdownAction action =
        LockdownActionFor(verdict, VersionSetting::Current().RequireLockdown);
    if (action == LockdownAction::kRun) {
        LOG_INFO("exam lock-down holds (%s)", desktop);
        m_lockNotice->hide();
        return true;
    }
    LOG_WARN("exam lock-down does not hold (%s): %s", desktop, verdict.failure.c_str());
    ShowLockdownNotice(verdict);
    if (action == LockdownAction::kRunWithNotice) {
        return true;
    }
    LOG_ERROR("exam refused: this installation requires the lock-down");
    QMessageBox::critical(GetWidget(), StringTable::Text("STR_EXAM"),
                          StringTable::Text("STR_LOCKDOWN_REQUIRED") + "\n" + m_lockNotice->text());
    return false;
}

int CExamWnd::TakeKeyboard() {
    // Mutter lets an X client's grab hold off its shortcuts when the window
    // asked first, and judges the grab as it is taken: asked again each
    // time, since Mutter forgets it with the window it manages (a window
    // asking before it is managed is not heard).
    if (m_desktop.value_or(DesktopKind::kXorg) != DesktopKind::kXorg) {
        AnnounceXwaylandGrab(NativeHandle());
    }
    return GrabKeyboard(NativeHandle());
}

void CExamWnd::RenewLockdown() {
    const int status = TakeKeyboard();
    if ((status == kGrabSuccess) == m_grabHeld) {
        return;
    }
    m_grabHeld = status == kGrabSuccess;
    const LockdownVerdict verdict = JudgeCurrentLockdown(status);
    if (verdict.holds) {
        LOG_INFO("exam lock-down holds now");
        m_lockNotice->hide();
    } else {
        LOG_WARN("exam lock-down lost: %s", verdict.failure.c_str());
        ShowLockdownNotice(verdict);
    }
}

void CExamWnd::ShowLockdownNotice(const LockdownVerdict& verdict) {
    m_lockNotice->setText(
        StringTable::Text(verdict.keyboardBusy ? "STR_LOCKDOWN_BUSY" : "STR_LOCKDOWN_DESKTOP"));
    m_lockNotice->show();
}

void CExamWnd::StopLockdown() {
    if (!m_lockedDown) {
        return;
    }
    m_lockedDown = false;
    qApp->removeEventFilter(this);
    if (m_lockNotice) {
        m_lockNotice->hide();
    }
    UngrabKeyboard();
    RestoreTerminalSwitch();
    if (NativeHandle() != 0) {
        SetWindowAbove(NativeHandle(), false);
    }
}

bool CExamWnd::eventFilter(QObject* watched, QEvent* event) {
    QEvent::Type type = event->type();
    if (watched == GetWidget() && type == QEvent::WindowActivate) {
        // Asked again once the window manager has the window: a state set
        // before it was managed is not always honoured.
        SetWindowFullscreen(NativeHandle(), true);
        if (m_lockedDown) {
            SetWindowAbove(NativeHandle(), true);
            GrabKeyboard(NativeHandle());
        }
    }
    if (m_lockedDown && (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
                         type == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsLockedKey(key->key())) {
            return true;
        }
        if (type == QEvent::KeyPress) {
            m_topmost.OnKeyDown(MonotonicMs());
        }
    }
    return WindowImplBaseNew::eventFilter(watched, event);
}

void CExamWnd::OnTimer(int id) {
    if (id != kTopmostTimer) {
        return;
    }
    if (m_topmost.OnTick(MonotonicMs())) {
        PutOnTop();
    }
    if (m_lockedDown) {
        // A popup that closed (a menu, a page's drop-down list) drops the
        // grab; under Mutter only a grab taken after the window asked counts.
        SetWindowAbove(NativeHandle(), true);
        RenewLockdown();
    }
    std::string title = StringTable::Text("STR_WINDOWS_MANAGER").toUtf8().toStdString();
    if (CloseWindowsTitled(title) > 0) {
        PutOnTop();
    }
}

LRESULT CExamWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_PAUSE_EXAM) {
        handled = true;
        CallPageFunction(QStringLiteral("doPauseExam"), {});
        return 0;
    }
    if (message == WM_CLIENT_SAVE_ANSWER) {
        handled = true;
        LOG_INFO("OnClientSaveAnswerHandler:param1=%d", static_cast<int>(lParam));
        CallPageFunction(QStringLiteral("OnClientSaveAnswerHandler"),
                         {QString::fromLatin1(lParam == 1 ? "Y" : "N")});
        return 0;
    }
    handled = false;
    return 0;
}

void CExamWnd::CallPageFunction(const QString& name, const QVariantList& args) {
    if (CWebBrowserUI* browser = CurrentBrowser()) {
        browser->CallPageFunction(name, args);
    }
}

QVariant CExamWnd::CallPageFunctionAndWait(const QString& name, const QVariantList& args) {
    QPointer<CExamWnd> self(this);
    return CWebBrowserUI::CallPageFunctionAndWait(
        [self]() -> CWebBrowserUI* { return self ? self->CurrentBrowser() : nullptr; }, name, args);
}

void CExamWnd::NavigateComplete2(const QString& url, bool ok) {
    // The learner types into the page without clicking it first.
    if (CWebBrowserUI* browser = CurrentBrowser(); browser && GetWidget()->isActiveWindow()) {
        browser->setFocus();
    }
}

void CExamWnd::BeforeNavigate2(const QString& url, bool& cancel) {
    if (url.contains(QLatin1String(kRefusedSite))) {
        cancel = true;
    }
}

void CExamWnd::NewWindow3(const QString& url, bool& cancel) {
    AddTab();
    SelectTab(TabCount() - 1);
    Navigate(url);
    cancel = true;
}

void CExamWnd::FileDownload(bool& cancel) {
    if (IsTopExam()) {
        cancel = true;
    }
}

int OpenExamWindow(const ExamStartArgs& exam) {
    CExamWnd* window = ExamWindow();
    if (window->OpenExam(exam)) {
        return 0;
    }
    ExamWindow()->EndExam();
    return -1;
}

void InstallExamExternalActions() {
    // Posted: the page that calls may be the one the action removes.
    IExternalInterface::Instance().SetActions(
        [] {
            MessageHub::PostCall([] {
                if (CExamWnd* window = ExistingExamWindow(); window && window->IsCreated()) {
                    window->CloseTab(window->CurrentTab());
                }
            });
        },
        [] {
            MessageHub::PostCall([] {
                if (CExamWnd* window = ExistingExamWindow(); window && window->IsCreated()) {
                    window->ShowTitleBar();
                }
            });
        });
}
