// The web engine module: page views on QtWebEngine, one off-the-record
// profile for every page, window.external through a web channel.

#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QWebChannel>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ui/browser/PageEngine.h"

// The engine's own set-up of the GL context it shares with the views; a
// program that links the engine runs it before the application object
// exists, a module that is loaded later has to ask for it.
namespace QtWebEngineCore {
void initialize();
}

namespace {

constexpr const char* kChannelClientScript = ":/qtwebchannel/qwebchannel.js";
constexpr const char* kExternalScriptName = "qorvane-external";

class CEnginePage : public QWebEnginePage {
public:
    CEnginePage(QWebEngineProfile* profile, QObject* parent, IPageViewEvents* events,
                std::function<SitePolicy(const QUrl&)> sitePolicy)
        : QWebEnginePage(profile, parent), m_events(events), m_sitePolicy(std::move(sitePolicy)) {}
    void Detach() { m_events = nullptr; }
    IPageViewEvents* Events() const { return m_events; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        const bool accepted = !m_events || m_events->AcceptNavigation(url, isMainFrame);
        if (accepted && isMainFrame && m_sitePolicy) {
            const SitePolicy policy = m_sitePolicy(url);
            settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, policy.javascript);
            settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows,
                                     policy.openWindows);
            settings()->setAttribute(QWebEngineSettings::AllowRunningInsecureContent,
                                     policy.insecureContent);
        }
        return accepted;
    }

private:
    IPageViewEvents* m_events;
    std::function<SitePolicy(const QUrl&)> m_sitePolicy;
};

class CEngineView : public QWebEngineView, public IPageView {
public:
    CEngineView(QWidget* parent, QWebEngineProfile* profile, IPageViewEvents* events,
                const PageOptions& options)
        : QWebEngineView(parent) {
        setContextMenuPolicy(Qt::NoContextMenu);
        m_page = new CEnginePage(profile, this, events, options.sitePolicy);
        m_page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        if (options.external) {
            auto* channel = new QWebChannel(m_page);
            channel->registerObject(options.externalName, options.external);
            m_page->setWebChannel(channel, QWebEngineScript::MainWorld);
            QWebEngineScript script;
            script.setName(QString::fromLatin1(kExternalScriptName));
            script.setInjectionPoint(QWebEngineScript::DocumentCreation);
            script.setWorldId(QWebEngineScript::MainWorld);
            script.setRunsOnSubFrames(true);
            script.setSourceCode(ChannelClient() + "\n" + options.externalScript);
            m_page->scripts().insert(script);
        }
        connect(m_page, &QWebEnginePage::newWindowRequested, this,
                [this](QWebEngineNewWindowRequest& request) {
                    if (IPageViewEvents* events = m_page->Events()) {
                        events->NewWindowRequested(request.requestedUrl());
                    }
                });
        connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] {
            if (IPageViewEvents* events = m_page->Events()) {
                events->CloseRequested();
            }
        });
        connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
                [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                    if (IPageViewEvents* events = m_page->Events()) {
                        events->RendererGone(static_cast<int>(status), exitCode);
                    }
                });
        connect(m_page, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
            if (IPageViewEvents* events = m_page->Events()) {
                events->TitleChanged(title);
            }
        });
        connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
            if (IPageViewEvents* events = m_page->Events()) {
                events->LoadFinished(ok);
            }
        });
        setPage(m_page);
    }
    ~CEngineView() override { m_page->Detach(); }

    IPageViewEvents* Events() const { return m_page->Events(); }

    QWidget* Widget() override { return this; }
    void Load(const QUrl& url) override { setUrl(url); }
    QUrl Url() const override { return url(); }
    QString Title() const override { return title(); }
    void Reload() override { reload(); }
    void RunScript(const QString& script, std::function<void(const QVariant&)> done) override {
        if (done) {
            m_page->runJavaScript(script, QWebEngineScript::MainWorld,
                                  [done](const QVariant& result) { done(result); });
        } else {
            m_page->runJavaScript(script, QWebEngineScript::MainWorld);
        }
    }

private:
    static QString ChannelClient() {
        static const QString client = [] {
            QFile file(QString::fromLatin1(kChannelClientScript));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        }();
        return client;
    }

    CEnginePage* m_page = nullptr;
};

class CPageEngine : public IPageEngine {
public:
    IPageView* CreateView(QWidget* parent, IPageViewEvents* events,
                          const PageOptions& options) override {
        return new CEngineView(parent, Profile(), events, options);
    }

private:
    QWebEngineProfile* Profile() {
        if (!m_profile) {
            // Off the record: nothing of an exam stays on disk after the client ends.
            m_profile = new QWebEngineProfile(qApp);
            QObject::connect(m_profile, &QWebEngineProfile::downloadRequested, m_profile,
                             [](QWebEngineDownloadRequest* download) {
                                 download->cancel();
                                 auto* view = dynamic_cast<CEngineView*>(
                                     QWebEngineView::forPage(download->page()));
                                 if (view && view->Events()) {
                                     view->Events()->DownloadRefused(download->url());
                                 }
                             });
        }
        return m_profile;
    }

    QPointer<QWebEngineProfile> m_profile;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) IPageEngine* QorvanePageEngine() {
    static CPageEngine* engine = [] {
        QtWebEngineCore::initialize();
        return new CPageEngine();  // lives for the whole run
    }();
    return engine;
}

// The engine's version without starting it (the system page shows it).
extern "C" __attribute__((visibility("default"))) const char* QorvanePageEngineVersion() {
    return qWebEngineChromiumVersion();
}
