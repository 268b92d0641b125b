#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

#include "ui/browser/PageEngine.h"

class CWebBrowserEventHandler;
class CMyWebBrowserEventHandler;

// One embedded page: a widget that windows put into their layouts. It gives
// every page the host's answers (no context menu, no downloads) and reports
// the page's questions to the attached handler. GUI thread only.
class CWebBrowserUI : public QWidget, private IPageViewEvents {
    Q_OBJECT
public:
    // A page whose renderer keeps dying is not reloaded again and again.
    static constexpr int kMaxRendererRestarts = 3;
    // How long a blocking script call waits for the page's answer.
    static constexpr int kScriptWaitMs = 10000;

    explicit CWebBrowserUI(QWidget* parent = nullptr);
    ~CWebBrowserUI() override;

    // The handler must outlive the control (it is the owning window).
    void SetWebBrowserEventHandler(CWebBrowserEventHandler* handler);
    CWebBrowserEventHandler* EventHandler() const { return m_handler; }

    void NavigateUrl(const QString& url);
    QString CurrentUrl() const;
    QString Title() const;

    // Calls the page's script function; done (if any) gets its result, an
    // invalid variant when the page has none or the call failed.
    void CallPageFunction(const QString& name, const QVariantList& args,
                          std::function<void(const QVariant&)> done = {});
    // The same, waiting for the result (any thread; from the GUI thread the
    // wait keeps events flowing). An invalid variant on timeout or when the
    // control is gone meanwhile.
    static QVariant CallPageFunctionAndWait(std::function<CWebBrowserUI*()> browser,
                                            const QString& name, const QVariantList& args);

signals:
    void titleChanged(const QString& title);
    void loadFinished(bool ok);

protected:
    // The three further events of the exam window's tabs.
    virtual void OnDownload(bool& cancel) {}
    virtual void OnCloseRequested() {}

    CWebBrowserEventHandler* m_handler = nullptr;

private:
    bool EnsureView();
    // The page's events.
    bool AcceptNavigation(const QUrl& url, bool mainFrame) override;
    void NewWindowRequested(const QUrl& url) override;
    void CloseRequested() override { OnCloseRequested(); }
    void RendererGone(int status, int exitCode) override;
    void TitleChanged(const QString& title) override { emit titleChanged(title); }
    void LoadFinished(bool ok) override;
    void DownloadRefused(const QUrl& url) override;

    IPageView* m_view = nullptr;
    QPointer<QWidget> m_viewWidget;
    int m_rendererRestarts = 0;
};

// The browser control of the exam window's tabs: it routes the download
// and close events to the CMyWebBrowserEventHandler it is attached to.
class CMyWebBrowser : public CWebBrowserUI {
    Q_OBJECT
public:
    using CWebBrowserUI::CWebBrowserUI;

protected:
    void OnDownload(bool& cancel) override;
    void OnCloseRequested() override;

private:
    CMyWebBrowserEventHandler* MyHandler() const;
};
