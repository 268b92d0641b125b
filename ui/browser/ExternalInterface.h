#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The object pages reach as window.external. One object for the whole
// process; each page that may see it gets a channel to it. Two names do
// something; any other name a page calls is a function that does nothing,
// so that old pages calling methods we never offered run on.
class IExternalInterface : public QObject {
    Q_OBJECT
public:
    static constexpr int kDispCloseCurPage = 100;
    static constexpr int kDispShowTitleBar = 101;
    static constexpr int kDispUnknown = -1;

    static IExternalInterface& Instance();

    // Exact, case-sensitive names: 100, 101, or kDispUnknown.
    static int GetIDsOfNames(const QString& name);

    // What the two methods do; the exam window installs them.
    using Action = std::function<void()>;
    void SetActions(Action closeCurPage, Action showTitleBar);

    // Runs the method of that dispatch id; unknown ids do nothing.
    void InvokeId(int id);

    // The script run in every page with window.external before the page's own
    // scripts (after the web channel's client): the proxy that answers every
    // name.
    static QString BootstrapScript();

    // Called by pages through the channel.
    Q_INVOKABLE void Invoke(const QString& name);

private:
    IExternalInterface() = default;
    Action m_closeCurPage;
    Action m_showTitleBar;
};
