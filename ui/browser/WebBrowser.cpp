#include "ui/browser/WebBrowser.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <future>
#include <memory>

#include "foundation/ClientLog.h"
#include "ui/MessageHub.h"
#include "ui/browser/BrowserHost.h"
#include "ui/browser/ExternalInterface.h"
#include "ui/browser/PageScript.h"
#include "ui/browser/WebBrowserEventHandler.h"

namespace {

constexpr const char* kExternalObjectName = "external";
constexpr int kNormalTermination = 0;

}  // namespace

CWebBrowserUI::CWebBrowserUI(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

CWebBrowserUI::~CWebBrowserUI() {
    // The view reports to this object: it goes first.
    delete m_viewWidget.data();
}

void CWebBrowserUI::SetWebBrowserEventHandler(CWebBrowserEventHandler* handler) {
    m_handler = handler;
}

bool CWebBrowserUI::EnsureView() {
    if (m_viewWidget) {
        return true;
    }
    IPageEngine* engine = BrowserHost::Engine();
    if (!engine) {
        return false;
    }
    PageOptions options;
    if (m_handler && m_handler->GetExternal()) {
        options.external = &IExternalInterface::Instance();
        options.externalName = QString::fromLatin1(kExternalObjectName);
        options.externalScript = IExternalInterface::BootstrapScript();
    }
    options.sitePolicy = BrowserHost::CurrentSitePolicy();
    m_view = engine->CreateView(this, this, options);
    m_viewWidget = m_view->Widget();
    layout()->addWidget(m_viewWidget);
    setFocusProxy(m_viewWidget);
    return true;
}

void CWebBrowserUI::NavigateUrl(const QString& url) {
    if (EnsureView()) {
        m_view->Load(QUrl(url));
    }
}

QString CWebBrowserUI::CurrentUrl() const {
    return m_viewWidget ? m_view->Url().toString() : QString();
}

QString CWebBrowserUI::Title() const {
    return m_viewWidget ? m_view->Title() : QString();
}

bool CWebBrowserUI::AcceptNavigation(const QUrl& url, bool mainFrame) {
    if (!mainFrame || !m_handler) {
        return true;
    }
    bool cancel = false;
    m_handler->BeforeNavigate2(url.toString(), cancel);
    return !cancel;
}

void CWebBrowserUI::NewWindowRequested(const QUrl& url) {
    bool cancel = true;  // a page never gets a window of its own
    if (m_handler) {
        m_handler->NewWindow3(url.toString(), cancel);
    }
}

void CWebBrowserUI::LoadFinished(bool ok) {
    if (m_handler) {
        m_handler->NavigateComplete2(CurrentUrl(), ok);
    }
    emit loadFinished(ok);
}

void CWebBrowserUI::DownloadRefused(const QUrl& url) {
    LOG_INFO("download refused: %s", url.toString().toUtf8().constData());
    bool cancel = true;
    OnDownload(cancel);
}

void CWebBrowserUI::RendererGone(int status, int exitCode) {
    if (status == kNormalTermination) {
        return;
    }
    LOG_ERROR("page renderer ended (status %d, code %d): %s", status, exitCode,
              CurrentUrl().toUtf8().constData());
    if (m_handler) {
        m_handler->RendererGone(exitCode);
    }
    // The learner keeps a usable page: load it again in a fresh renderer.
    if (m_viewWidget && m_rendererRestarts < kMaxRendererRestarts) {
        ++m_rendererRestarts;
        QTimer::singleShot(0, this, [this] {
            if (m_viewWidget) {
                m_view->Reload();
            }
        });
    }
}

void CWebBrowserUI::CallPageFunction(const QString& name, const QVariantList& args,
                                     std::function<void(const QVariant&)> done) {
    if (!m_viewWidget) {
        if (done) {
            done(QVariant());
        }
        return;
    }
    m_view->RunScript(BuildPageCall(name, args), std::move(done));
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
