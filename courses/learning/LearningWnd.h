#pragma once

#include <QString>

#include "ui/WindowImplBaseNew.h"
#include "ui/WindowSingleton.h"
#include "ui/browser/WebBrowserEventHandler.h"

class CMyWebBrowser;

// The web-learning window: one page at full screen, no new windows; the
// page sees window.external and may close the window with window.close().
// At most one per process; a second request loads its page in the same
// window and brings it to the front.
class CLearningWnd : public WindowImplBaseNew, public CMyWebBrowserEventHandler {
    Q_OBJECT
public:
    static constexpr uint32_t kStyle = 0x80B;
    static constexpr const char* kClassName = "LearningWnd";

    // Shows the page (UTF-8 address); true, also when the layout has no browser.
    bool Open(const std::string& url);

    // From the window base and the browser.
    void NewWindow3(const QString& url, bool& cancel) override { cancel = true; }
    bool GetExternal() override { return true; }
    void OnQuit() override;

protected:
    QString GetSkinFile() const override { return "LearningWnd.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnFinalMessage() override;

private:
    QString m_url;
    CMyWebBrowser* m_browser = nullptr;
};

// The process's learning window object, created (without a window) on first
// use; GUI thread only.
inline CLearningWnd* LearningWindow() {
    return WindowSingleton<CLearningWnd>::Get();
}
inline CLearningWnd* ExistingLearningWindow() {
    return WindowSingleton<CLearningWnd>::Existing();
}
