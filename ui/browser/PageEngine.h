#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>

class QObject;
class QWidget;

// The seam between the client and the web engine. The engine lives in a
// module of its own (kPageEngineModule) that the client loads when the first
// page is shown, so an idle client carries neither the engine nor a graphics
// stack. Only Qt types cross it; GUI thread only.

// What a page tells its control.
class IPageViewEvents {
public:
    virtual ~IPageViewEvents() = default;
    // false refuses the navigation.
    virtual bool AcceptNavigation(const QUrl& url, bool mainFrame) = 0;
    // The page asked for a new window; it never gets one.
    virtual void NewWindowRequested(const QUrl& url) = 0;
    virtual void CloseRequested() = 0;
    // The renderer ended; status 0 is a normal end.
    virtual void RendererGone(int status, int exitCode) = 0;
    virtual void TitleChanged(const QString& title) = 0;
    virtual void LoadFinished(bool ok) = 0;
    // A download was asked for; the engine has refused it already.
    virtual void DownloadRefused(const QUrl& url) = 0;
};

// One page view: a widget owned by its parent.
class IPageView {
public:
    virtual ~IPageView() = default;
    virtual QWidget* Widget() = 0;
    virtual void Load(const QUrl& url) = 0;
    virtual QUrl Url() const = 0;
    virtual QString Title() const = 0;
    virtual void Reload() = 0;
    // Runs a script in the page's main world; done gets its result.
    virtual void RunScript(const QString& script, std::function<void(const QVariant&)> done) = 0;
};

// What the engine allows the document of one site. Pages of trusted sites
// get the trusted zone's stored settings; every other page the defaults.
struct SitePolicy {
    bool javascript = true;
    bool openWindows = true;  // pop-ups (each becomes a tab of ours)
    bool insecureContent = false;
};

struct PageOptions {
    // Offered to the page's scripts as window.external when set.
    QObject* external = nullptr;
    QString externalName;
    // Run before any script of the page (after the channel's client script).
    QString externalScript;
    // Asked before each main-frame navigation is committed.
    std::function<SitePolicy(const QUrl&)> sitePolicy;
};

class IPageEngine {
public:
    virtual ~IPageEngine() = default;
    // The view has no context menu and every download in it is refused.
    virtual IPageView* CreateView(QWidget* parent, IPageViewEvents* events,
                                  const PageOptions& options) = 0;
};

using PageEngineEntry = IPageEngine* (*)();
constexpr const char* kPageEngineEntry = "QorvanePageEngine";
using PageEngineVersionEntry = const char* (*)();
constexpr const char* kPageEngineVersionEntry = "QorvanePageEngineVersion";
constexpr const char* kPageEngineModule = "libqorvane_webengine.so";
