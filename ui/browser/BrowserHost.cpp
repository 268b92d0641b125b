#include "ui/browser/BrowserHost.h"

#include <QCoreApplication>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include <unistd.h>

#include "foundation/ClientLog.h"
#include "ui/browser/WebBrowser.h"

namespace {

constexpr const char* kEngineFlagsVariable = "QTWEBENGINE_CHROMIUM_FLAGS";
constexpr const char* kNoSandboxFlag = "--no-sandbox";
constexpr const char* kNoGpuFlag = "--disable-gpu";

QWebEngineProfile* g_profile = nullptr;

void AddEngineFlag(const char* flag) {
    QByteArray flags = qgetenv(kEngineFlagsVariable);
    if (flags.contains(flag)) {
        return;
    }
    if (!flags.isEmpty()) {
        flags += ' ';
    }
    flags += flag;
    qputenv(kEngineFlagsVariable, flags);
}

void RefuseDownload(QWebEngineDownloadRequest* download) {
    LOG_INFO("download refused: %s", download->url().toString().toUtf8().constData());
    CWebBrowserUI::NotifyDownload(download->page());
    download->cancel();
}

}  // namespace

namespace BrowserHost {

void PrepareEngine() {
    if (geteuid() == 0) {
        AddEngineFlag(kNoSandboxFlag);
    }
    // Exam and course pages need no GPU; software rendering works on every
    // desktop, virtual machines and servers without GL included.
    AddEngineFlag(kNoGpuFlag);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QWebEngineProfile* Profile() {
    if (!g_profile) {
        // Off the record: nothing of an exam stays on disk after the client ends.
        g_profile = new QWebEngineProfile(qApp);
        QObject::connect(g_profile, &QWebEngineProfile::downloadRequested, g_profile,
                         &RefuseDownload);
        LOG_INFO("web engine started");
    }
    return g_profile;
}

bool Started() { return g_profile != nullptr; }

}  // namespace BrowserHost
