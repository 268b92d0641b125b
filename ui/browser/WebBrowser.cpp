#include "ui/browser/WebBrowser.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <future>
#include <memory>

#include "foundation/ClientLog.h"
#include "ui/MessageHub.h"
#include "ui/browser/BrowserHost.h"
#include "ui/browser/ExternalInterface.h"
#include "ui/browser/PageScript.h"
#include "ui/browser/WebBrowserEventHandler.h"

namespace {

constexpr const char* kExternalScriptName = "qorvane-external";
constexpr const char* kExternalObjectName = "external";
// The page property that leads from a page back to its control.
constexpr const char* kOwnerProperty = "qorvaneBrowser";

// The page of one control: navigation questions go to the control's handler.
class CHostPage : public QWebEnginePage {
public:
    CHostPage(QWebEngineProfile* profile, CWebBrowserUI* owner)
        : QWebEnginePage(profile, owner), m_owner(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame || !m_owner || !m_owner->EventHandler()) {
            return true;
        }
        bool cancel = false;
        m_owner->EventHandler()->BeforeNavigate2(url.toString(), cancel);
        return !cancel;
    }

private:
    QPointer<CWebBrowserUI> m_owner;
};

}  // namespace

CWebBrowserUI::CWebBrowserUI(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

CWebBrowserUI::~CWebBrowserUI() = default;

void CWebBrowserUI::SetWebBrowserEventHandler(CWebBrowserEventHandler* handler) {
    m_handler = handler;
}

void CWebBrowserUI::EnsureView() {
    if (m_view) {
        return;
    }
    m_view = new QWebEngineView(this);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    auto* page = new CHostPage(BrowserHost::Profile(), this);
    page->setProperty(kOwnerProperty, QVariant::fromValue(static_cast<QObject*>(this)));
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    if (m_handler && m_handler->GetExternal()) {
        m_externalOffered = true;
        auto* channel = new QWebChannel(page);
        channel->registerObject(QString::fromLatin1(kExternalObjectName),
                                &IExternalInterface::Instance());
        page->setWebChannel(channel, QWebEngineScript::MainWorld);
        QWebEngineScript script;
        script.setName(QString::fromLatin1(kExternalScriptName));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(true);
        script.setSourceCode(IExternalInterface::BootstrapScript());
        page->scripts().insert(script);
    }
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                bool cancel = true;  // a page never gets a window of its own
                if (m_handler) {
                    m_handler->NewWindow3(request.requestedUrl().toString(), cancel);
                }
            });
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] { OnCloseRequested(); });
    connect(page, &QWebEnginePage::renderProcessPidChanged, this,
            [this](qint64 pid) { m_rendererPid = pid; });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                OnRendererGone(static_cast<int>(status), exitCode);
            });
    connect(page, &QWebEnginePage::titleChanged, this, &CWebBrowserUI::titleChanged);
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (m_handler) {
            m_handler->NavigateComplete2(CurrentUrl(), ok);
        }
        emit loadFinished(ok);
    });
    m_view->setPage(page);
    layout()->addWidget(m_view);
    setFocusProxy(m_view);
}

void CWebBrowserUI::NavigateUrl(const QString& url) {
    EnsureView();
    m_view->setUrl(QUrl(url));
}

QString CWebBrowserUI::CurrentUrl() const { return m_view ? m_view->url().toString() : QString(); }

QString CWebBrowserUI::Title() const { return m_view ? m_view->title() : QString(); }

void CWebBrowserUI::OnRendererGone(int status, int exitCode) {
    if (status == QWebEnginePage::NormalTerminationStatus) {
        return;
    }
    LOG_ERROR("page renderer ended (status %d, code %d): %s", status, exitCode,
              CurrentUrl().toUtf8().constData());
    m_rendererPid = 0;
    if (m_handler) {
        m_handler->RendererGone(exitCode);
    }
    // The learner keeps a usable page: load it again in a fresh renderer.
    if (m_view && m_rendererRestarts < kMaxRendererRestarts) {
        ++m_rendererRestarts;
        QPointer<QWebEngineView> view(m_view);
        QTimer::singleShot(0, this, [view] {
            if (view) {
                view->reload();
            }
        });
    }
}

void CWebBrowserUI::CallPageFunction(const QString& name, const QVariantList& args,
                                     std::function<void(const QVariant&)> done) {
    if (!m_view) {
        if (done) {
            done(QVariant());
        }
        return;
    }
    const QString script = BuildPageCall(name, args);
    if (done) {
        m_view->page()->runJavaScript(script, QWebEngineScript::MainWorld,
                                      [done](const QVariant& result) { done(result); });
    } else {
        m_view->page()->runJavaScript(script, QWebEngineScript::MainWorld);
    }
}

QVariant CWebBrowserUI::CallPageFunctionAndWait(std::function<CWebBrowserUI*()> browser,
                                                const QString& name, const QVariantList& args) {
    if (MessageHub::OnGuiThread()) {
        CWebBrowserUI* control = browser();
        if (!control) {
            return QVariant();
        }
        // The answer may come after the wait gave up: it must find live state.
        struct Wait {
            QVariant result;
            QEventLoop loop;
            bool answered = false;
        };
        auto wait = std::make_shared<Wait>();
        std::weak_ptr<Wait> weak = wait;
        control->CallPageFunction(name, args, [weak](const QVariant& value) {
            if (auto state = weak.lock()) {
                state->result = value;
                state->answered = true;
                state->loop.quit();
            }
        });
        if (!wait->answered) {
            QTimer::singleShot(kScriptWaitMs, &wait->loop, &QEventLoop::quit);
            wait->loop.exec();
        }
        return wait->result;
    }
    auto promise = std::make_shared<std::promise<QVariant>>();
    std::future<QVariant> future = promise->get_future();
    MessageHub::PostCall([browser, name, args, promise] {
        CWebBrowserUI* control = browser();
        if (!control) {
            promise->set_value(QVariant());
            return;
        }
        control->CallPageFunction(name, args,
                                  [promise](const QVariant& value) { promise->set_value(value); });
    });
    if (future.wait_for(std::chrono::milliseconds(kScriptWaitMs)) != std::future_status::ready) {
        LOG_WARN("page function %s did not answer", name.toUtf8().constData());
        return QVariant();
    }
    return future.get();
}

void CWebBrowserUI::NotifyDownload(QWebEnginePage* page) {
    if (!page) {
        return;
    }
    auto* control = qobject_cast<CWebBrowserUI*>(page->property(kOwnerProperty).value<QObject*>());
    if (control) {
        bool cancel = true;
        control->OnDownload(cancel);
    }
}

CMyWebBrowserEventHandler* CMyWebBrowser::MyHandler() const {
    return dynamic_cast<CMyWebBrowserEventHandler*>(m_handler);
}

void CMyWebBrowser::OnDownload(bool& cancel) {
    if (CMyWebBrowserEventHandler* handler = MyHandler()) {
        handler->DownloadBegin();
        handler->FileDownload(cancel);
    }
}

void CMyWebBrowser::OnCloseRequested() {
    if (CMyWebBrowserEventHandler* handler = MyHandler()) {
        handler->OnQuit();
    }
}
