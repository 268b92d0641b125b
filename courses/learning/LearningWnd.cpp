#include "courses/learning/LearningWnd.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "config/StringTable.h"
#include "ui/MessageHub.h"
#include "ui/browser/WebBrowser.h"

namespace {}  // namespace

bool CLearningWnd::Open(const std::string& url) {
    m_url = QString::fromStdString(url);
    if (IsCreated()) {
        if (m_browser) {
            m_browser->NavigateUrl(m_url);
        }
    } else {
        if (!Create(nullptr, kClassName, kStyle, 0)) {
            return true;  // without its layout the window shows nothing, as without a browser
        }
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        GetWidget()->setGeometry(screen);
        GetWidget()->setWindowTitle(StringTable::Text("STR_LEARNING_WND"));
        ShowWindow(true, true);
    }
    BringToFront();
    return true;
}

void CLearningWnd::InitAfterCreate() {
    QWidget* host = FindControl("web_learning_host");
    if (!host) {
        return;
    }
    auto* layout = host->layout() ? host->layout() : new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new CMyWebBrowser(host);
    m_browser->setObjectName("web_learning");
    m_browser->SetWebBrowserEventHandler(this);
    layout->addWidget(m_browser);
    m_browser->NavigateUrl(m_url);
}

void CLearningWnd::ClickNotify(const QString& name) {
    if (name == "tab_close" && IsCreated()) {
        MessageHub::Post(this, WM_CLOSE, 0, 0);
    }
}

void CLearningWnd::OnQuit() {
    // The page closed its browser: the window goes with it (not from inside
    // the page's own call).
    if (IsCreated()) {
        MessageHub::Post(this, WM_CLOSE, 0, 0);
    }
}

void CLearningWnd::OnFinalMessage() {
    WindowSingleton<CLearningWnd>::Forget(this);
    m_browser = nullptr;
    deleteLater();
}
