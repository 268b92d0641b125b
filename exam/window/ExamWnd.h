#pragma once

#include <QPointer>
#include <QVariant>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel/ArgumentRecords.h"
#include "exam/window/ExamLockdown.h"
#include "exam/window/LockdownVerdict.h"
#include "ui/WindowImplBaseNew.h"
#include "ui/WindowSingleton.h"
#include "ui/browser/WebBrowserEventHandler.h"

class CMyWebBrowser;
class CWebBrowserUI;
class IExamCamera;
class QLabel;
class QPushButton;
class QStackedWidget;

// The supervised exam window: full screen, the exam page and the pages it
// opens in tabs, and, when the exam asks for it, the desktop locked down.
// At most one exists; GUI thread only (other threads use ExamWindow through
// the message hub).
class CExamWnd : public WindowImplBaseNew, public CMyWebBrowserEventHandler {
    Q_OBJECT
public:
    static constexpr uint32_t kStyle = 0x0000080B;
    static constexpr int kTopmostTimer = 1;
    static constexpr int kTopmostIntervalMs = 1000;
    static constexpr int kCameraTimer = 2;
    static constexpr int kCameraMode = 2;
    static constexpr int kCameraFaultSeconds = 5;
    // How long a locked exam waits for the window manager to show its window
    // before it judges the keyboard grab.
    static constexpr int kShownWaitMs = 5000;
    // Pages of this site are never loaded in the exam window.
    static constexpr const char* kRefusedSite = "qorvane-refused.invalid";

    CExamWnd();
    ~CExamWnd() override;

    bool OpenExam(const ExamStartArgs& args);
    bool EndExam();
    bool OnCameraStatus(int code);
    bool Navigate(const QString& url);
    void AddTab();
    void CloseTab(int index);
    void ShowTitleBar();
    // Calls a script function of the current tab's page without waiting.
    void CallPageFunction(const QString& name, const QVariantList& args);
    // The same, handing back the function's result (any thread).
    QVariant CallPageFunctionAndWait(const QString& name, const QVariantList& args);

    int TabCount() const { return static_cast<int>(m_tabs.size()); }
    int CurrentTab() const;
    bool LockedDown() const { return m_lockedDown; }

protected:
    QString GetSkinFile() const override { return "ExamWnd.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override {}
    void OnTimer(int id) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnClose(bool& handled) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Page events.
    void BeforeNavigate2(const QString& url, bool& cancel) override;
    void NewWindow3(const QString& url, bool& cancel) override;
    void NavigateComplete2(const QString& url, bool ok) override;
    bool GetExternal() override { return true; }
    void FileDownload(bool& cancel) override;

private:
    void SelectTab(int index);
    void UpdateTitleArea();
    void PutOnTop();
    void StartLockdown();
    void StopLockdown();
    // Judges the grab once the window is shown: logs what fails and shows
    // the notice; false when the installation requires the lock and the
    // learner has been told why the exam does not start.
    bool CheckLockdownAtStart();
    // A renewal whose outcome changed (another program let go of the
    // keyboard, or took it): judged again, the notice follows.
    void RenewLockdown();
    // The grab, asked for first where the compositor wants to be asked.
    int TakeKeyboard();
    LockdownVerdict JudgeCurrentLockdown(int grabStatus);
    void ShowLockdownNotice(const LockdownVerdict& verdict);
    void WaitUntilShown();
    CWebBrowserUI* CurrentBrowser() const;

    QWidget* m_tabTitle = nullptr;
    QStackedWidget* m_tabBody = nullptr;
    QWidget* m_tabLine = nullptr;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    std::vector<QPointer<CMyWebBrowser>> m_tabs;
    std::vector<QPointer<QPushButton>> m_titleButtons;
    CTopmostRule m_topmost;
    std::unique_ptr<IExamCamera> m_camera;
    bool m_cameraFault = false;
    bool m_titleForced = false;
    bool m_lockedDown = false;
    QLabel* m_lockNotice = nullptr;
    // The desktop, found at the first locked exam (it does not change).
    std::optional<DesktopKind> m_desktop;
    bool m_grabHeld = false;
};

// The process-wide exam window, created (without a window) on first use.
inline CExamWnd* ExamWindow() {
    return WindowSingleton<CExamWnd>::Get();
}
inline CExamWnd* ExistingExamWindow() {
    return WindowSingleton<CExamWnd>::Existing();
}
// A locked exam holds the screen: nothing a page asks for through the
// channel (a learning page, a document, the update window) may come above
// it. When so, logs that `what` was held back and returns true (GUI thread).
bool HeldBackByLockedExam(const char* what);

// The record of the last opened exam; kept after the exam until the next.
ExamStartArgs CurrentExam();

// Opens the exam window on the exam (GUI thread): 0 opened, -1 refused (the
// half-opened exam is ended).
int OpenExamWindow(const ExamStartArgs& exam);

// window.external's two methods act on the exam window; installed once.
void InstallExamExternalActions();
