#pragma once

#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>

#include "ui/MenuWnd.h"
#include "ui/TabPageBase.h"
#include "ui/WindowImplBaseNew.h"

// The client's one long-lived top-level window: four tabs, the tray icon and
// the hub through which the channel asks for every other window.
class CMainFrame : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr int kUserCheckTimer = 2027;
    static constexpr int kUserCheckIntervalMs = 1000;
    static constexpr int kLessonRefreshTimer = 2024;
    static constexpr int kLessonRefreshIntervalMs = 3000;
    // Creation values of the main frame's native window.
    static constexpr uint32_t kStyle = 0;
    static constexpr uint32_t kExStyle = 0x80B;

    // The tab pages, by the order of the tab layout.
    enum Tab { kTabCourseManage = 0, kTabProxySet = 1, kTabSystemInfo = 2, kTabAbout = 3 };

    // The process-wide main frame, or null before start-up created it.
    static CMainFrame* Instance();

    CMainFrame();
    ~CMainFrame() override;

    void MinimizeToTray();
    bool TrayIconVisible() const;
    // The client is going: no icon in the tray, no window on the screen.
    void HideForExit();

    // Pages are added by the parts that own them.
    void SetTabPage(Tab tab, CTabPageBase* page);
    // Hooks of the course manager page for the two lesson timers.
    struct CourseManagerHooks {
        std::function<bool()> currentUserChanged;
        std::function<void()> loadLessonList;
        std::function<void()> refreshLessonList;
        std::function<void(WPARAM)> confirmDelete;
        // Commands 5 to 7 of the page's popup menus.
        std::function<void(MenuCommand)> menuCommand;
    };
    void SetCourseManagerHooks(CourseManagerHooks hooks) { m_courseHooks = std::move(hooks); }
    // Asked when the session wants to end; false keeps the session alive.
    void SetSessionEndQuery(std::function<bool()> mayEnd) { m_sessionEndQuery = std::move(mayEnd); }
    bool SessionMayEnd() const { return !m_sessionEndQuery || m_sessionEndQuery(); }

    int CurrentTab() const;
    // The page the about tab's web area shows when internet access is allowed
    // (it stays empty otherwise).
    static QString AnalyticsUrl();

protected:
    QString GetSkinFile() const override { return "MainFrame.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnTimer(int id) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnClose(bool& handled) override;
    bool FilterKey(int key) override;

private:
    void SelectTab(Tab tab);
    void ShowAboutPage();
    void RemoveTrayIcon();
    void RestoreFromTray();
    void OnMenuCommand(MenuCommand command);

    QPointer<QSystemTrayIcon> m_tray;
    CTabPageBase* m_pages[3] = {nullptr, nullptr, nullptr};
    CTabPageBase* m_currentPage = nullptr;
    CourseManagerHooks m_courseHooks;
    std::function<bool()> m_sessionEndQuery;
};
