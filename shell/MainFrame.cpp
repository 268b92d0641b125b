#include "shell/MainFrame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <iterator>

#include "channel/Answer.h"
#include "config/StringTable.h"
#include "config/VersionSetting.h"
#include "exam/camera/ExamCameraModule.h"
#include "foundation/ClientLog.h"
#include "foundation/Version.h"
#include "foundation/VersionText.h"
#include "shell/AboutWnd.h"
#include "ui/MenuWnd.h"
#include "ui/MessageHub.h"
#include "ui/SkinStore.h"
#include "ui/browser/WebBrowser.h"

namespace {

CMainFrame* g_mainFrame = nullptr;

struct TabButton {
    const char* name;
    const char* image;
    const char* overImage;
};

constexpr TabButton kTabButtons[] = {
    {"course_manage", "tab_coursemanage.png", "tab_coursemanage(over).png"},
    {"proxy_set", "tab_proxyset.png", "tab_proxyset(over).png"},
    {"system_info", "tab_systeminfo.png", "tab_systeminfo(over).png"},
    {"about", "tab_about.png", "tab_about(over).png"},
};

constexpr const char* kTrayIconImage = "tray.png";
// The platform's analytics page shown under the about tab, on the host the
// installation names (versionSetting.ini).
constexpr const char* kAnalyticsPath = "/analytics.html";
constexpr const char* kSecondSkinArchive = "skin2.zip";

// The build date as "YYYY/MM/DD " from the compiler's "Mmm dd yyyy".
}  // namespace

CMainFrame* CMainFrame::Instance() {
    return g_mainFrame;
}

CMainFrame::CMainFrame() {
    g_mainFrame = this;
}

CMainFrame::~CMainFrame() {
    if (g_mainFrame == this) {
        g_mainFrame = nullptr;
    }
    delete m_tray.data();
}

void CMainFrame::InitAfterCreate() {
    QPixmap icon = LoadImage(kTrayIconImage);
    if (!icon.isNull()) {
        GetWidget()->setWindowIcon(QIcon(icon));
    }
    SelectTab(kTabCourseManage);
    m_currentPage = m_pages[kTabCourseManage];
    for (CTabPageBase* page : {m_pages[kTabCourseManage], m_pages[kTabProxySet]}) {
        if (page) {
            page->Prepare();
        }
    }
    SetTimer(kUserCheckTimer, kUserCheckIntervalMs);

    QString title = StringTable::Text("STR_WINDOW_TITLE");
    if (auto* label = FindControl<QLabel>("main_title")) {
        label->setText(title);
    }
    GetWidget()->setWindowTitle(title);
    if (auto* version = FindControl<QLabel>("LabelVersion")) {
        version->setText(QString::fromStdString(ClientVersionText()));
    }
}

void CMainFrame::ShowAboutPage() {
    // The page loads when the tab is first shown: an idle client in the tray
    // starts no browser.
    if (!VersionSetting::Current().Internet) {
        return;
    }
    QWidget* area = FindControl("AxWbContent");
    if (!area || area->findChild<CWebBrowserUI*>()) {
        return;
    }
    auto* layout = area->layout() ? area->layout() : new QVBoxLayout(area);
    layout->setContentsMargins(1, 1, 1, 1);
    auto* browser = new CWebBrowserUI(area);
    browser->setObjectName("about_browser");
    layout->addWidget(browser);
    browser->NavigateUrl(AnalyticsUrl());
}

QString CMainFrame::AnalyticsUrl() {
    QString url = QString::fromStdString(VersionSetting::Current().AnalyticsHost) + kAnalyticsPath +
                  "?ver=" + kClientVersion;
    url.replace("#", "%23");
    url.replace("+", "%2B");
    return url;
}

void CMainFrame::SetTabPage(Tab tab, CTabPageBase* page) {
    if (tab < kTabAbout) {
        m_pages[tab] = page;
    }
}

int CMainFrame::CurrentTab() const {
    auto* tabs = FindControl<QStackedWidget>("tab_ctrl");
    return tabs ? tabs->currentIndex() : -1;
}

void CMainFrame::SelectTab(Tab tab) {
    if (auto* tabs = FindControl<QStackedWidget>("tab_ctrl")) {
        tabs->setCurrentIndex(tab);
    }
    for (size_t i = 0; i < std::size(kTabButtons); ++i) {
        SetControlImage(kTabButtons[i].name, static_cast<int>(i) == tab ? kTabButtons[i].overImage
                                                                        : kTabButtons[i].image);
    }
}

void CMainFrame::ClickNotify(const QString& name) {
    // The pages with a tab page object; the about tab has none (below).
    for (size_t i = 0; i < std::size(m_pages); ++i) {
        if (name == kTabButtons[i].name) {
            SelectTab(static_cast<Tab>(i));
            m_currentPage = m_pages[i];
            if (m_currentPage) {
                m_currentPage->Prepare();
            }
            return;
        }
    }
    if (name == "about") {
        SelectTab(kTabAbout);  // the current page stays as it was
        ShowAboutPage();
    } else if (name == "btn_close") {
        MinimizeToTray();
    } else if (name == "btn_min") {
        MessageHub::PostCall([this] {
            if (GetWidget()) {
                GetWidget()->showMinimized();
            }
        });
    } else if (name == "btn_custom") {
        ShowPopupMenu(this, "CustomMenu.xml", 3);
    } else if (m_currentPage) {
        m_currentPage->OnClick(name);
    }
}

void CMainFrame::OnClose(bool& handled) {
    // Closing never ends the client: it goes to the tray.
    handled = true;
    MinimizeToTray();
}

bool CMainFrame::FilterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

void CMainFrame::MinimizeToTray() {
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(this);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        HandleMessage(WM_TRAY_NOTIFY, 0, WM_LBUTTONUP);
                    } else if (reason == QSystemTrayIcon::Context) {
                        HandleMessage(WM_TRAY_NOTIFY, 0, WM_RBUTTONUP);
                    }
                });
    }
    m_tray->setIcon(QIcon(LoadImage(kTrayIconImage)));
    m_tray->setToolTip(StringTable::Text("STR_TRAY_TIP"));
    m_tray->show();
    ShowWindow(false);
}

bool CMainFrame::TrayIconVisible() const {
    return m_tray && m_tray->isVisible();
}

void CMainFrame::HideForExit() {
    RemoveTrayIcon();
    ShowWindow(false);
}

void CMainFrame::RemoveTrayIcon() {
    if (m_tray) {
        m_tray->hide();
    }
}

void CMainFrame::RestoreFromTray() {
    RemoveTrayIcon();
    ShowWindow(true, true);
}

void CMainFrame::OnMenuCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::kShowMainWindow:
            RestoreFromTray();
            break;
        case MenuCommand::kExitToHidden:
            // Hidden without an icon; only the channel's ExitProcess ends us.
            RemoveTrayIcon();
            ShowWindow(false);
            break;
        case MenuCommand::kSwitchSkin:
            SkinStore::Instance().SetArchive(kSecondSkinArchive);
            ReloadAllSkins();
            break;
        case MenuCommand::kShowAbout:
            ShowAboutWindow(this);
            break;
        case MenuCommand::kStartLesson:
        case MenuCommand::kStopLesson:
        case MenuCommand::kDeleteTicked:
            if (m_courseHooks.menuCommand) {
                m_courseHooks.menuCommand(command);
            }
            break;
        default:
            break;
    }
}

LRESULT CMainFrame::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case WM_TRAY_NOTIFY:
            if (lParam == WM_LBUTTONUP) {
                RestoreFromTray();
            } else if (lParam == WM_RBUTTONUP) {
                ShowPopupMenu(this, "TrayMenu.xml", 1);
            }
            return 0;
        case WM_MENU_COMMAND:
            OnMenuCommand(static_cast<MenuCommand>(wParam));
            return 0;
        case WM_CAMERA_FAULT:
            // Camera faults come from another program; the tip shows them.
            ShowCameraFault(static_cast<int>(lParam));
            return 0;
        case WM_CONFIRM_DELETE:
            if (m_courseHooks.confirmDelete) {
                m_courseHooks.confirmDelete(wParam);
            }
            return 0;
        default:
            break;
    }
    handled = false;
    return 0;
}

void CMainFrame::OnTimer(int id) {
    if (id == kUserCheckTimer) {
        if (IsVisible() && m_courseHooks.currentUserChanged && m_courseHooks.currentUserChanged()) {
            if (m_courseHooks.loadLessonList) {
                m_courseHooks.loadLessonList();
            }
            KillTimer(kUserCheckTimer);
            SetTimer(kLessonRefreshTimer, kLessonRefreshIntervalMs);
        }
    } else if (id == kLessonRefreshTimer) {
        if (IsVisible() && m_currentPage && m_currentPage == m_pages[kTabCourseManage] &&
            m_courseHooks.refreshLessonList) {
            m_courseHooks.refreshLessonList();
        }
    } else {
        // The pages' own timers run on the frame; each page knows its ids.
        for (CTabPageBase* page : m_pages) {
            if (page) {
                page->OnTimer(id);
            }
        }
    }
}
