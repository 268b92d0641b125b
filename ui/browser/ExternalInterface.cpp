#include "ui/browser/ExternalInterface.h"


namespace {

// Calls made before the channel is up are kept and sent once it is.
constexpr const char* kProxyScript = R"JS(
(function () {
  'use strict';
  var bridge = null, pending = [];
  var known = {CloseCurPage: true, ShowTitleBar: true};
  function send(name) { if (bridge) bridge.Invoke(name); else pending.push(name); }
  if (window.qt && qt.webChannelTransport && typeof QWebChannel === 'function') {
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.external;
      pending.splice(0).forEach(send);
    });
  }
  var noop = function () {};
  var external = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string') return undefined;
      if (Object.prototype.hasOwnProperty.call(known, name)) {
        return function () { send(name); };
      }
      return noop;
    },
    has: function () { return true; },
    set: function () { return true; }
  });
  try {
    Object.defineProperty(window, 'external', {value: external, writable: false, configurable: false});
  } catch (e) {
    window.external = external;
  }
})();
)JS";

}  // namespace

IExternalInterface& IExternalInterface::Instance() {
    static IExternalInterface* instance = new IExternalInterface();  // lives for the whole run
    return *instance;
}

int IExternalInterface::GetIDsOfNames(const QString& name) {
    if (name == QLatin1String("CloseCurPage")) {
        return kDispCloseCurPage;
    }
    if (name == QLatin1String("ShowTitleBar")) {
        return kDispShowTitleBar;
    }
    return kDispUnknown;
}

void IExternalInterface::SetActions(Action closeCurPage, Action showTitleBar) {
    m_closeCurPage = std::move(closeCurPage);
    m_showTitleBar = std::move(showTitleBar);
}

void IExternalInterface::InvokeId(int id) {
    if (id == kDispCloseCurPage && m_closeCurPage) {
        m_closeCurPage();
    } else if (id == kDispShowTitleBar && m_showTitleBar) {
        m_showTitleBar();
    }
}

void IExternalInterface::Invoke(const QString& name) { InvokeId(GetIDsOfNames(name)); }

QString IExternalInterface::BootstrapScript() { return QString::fromUtf8(kProxyScript); }
