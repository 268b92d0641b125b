#include "ui/browser/BrowserHost.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLibrary>

#include <unistd.h>

#include "foundation/ClientLog.h"
#include "platform/paths/ProgramDirectory.h"
#include "ui/browser/PageEngine.h"

namespace {

constexpr const char* kEngineFlagsVariable = "QTWEBENGINE_CHROMIUM_FLAGS";
constexpr const char* kNoSandboxFlag = "--no-sandbox";
constexpr const char* kNoGpuFlag = "--disable-gpu";

IPageEngine* g_engine = nullptr;
bool g_loadTried = false;

// The module, loaded once and never unloaded: views and the profile live
// until the process ends.
QLibrary& EngineModule() {
    static QLibrary* module =
        new QLibrary(QString::fromStdString(ProgramDirectory() + kPageEngineModule));
    return *module;
}

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

std::function<SitePolicy(const QUrl&)>& SitePolicyHolder() {
    static std::function<SitePolicy(const QUrl&)> policy;
    return policy;
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
    // The engine arrives later, in a module of its own; it wants the shared
    // GL contexts set before the application object exists, and says so on
    // every start otherwise.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

IPageEngine* Engine() {
    if (g_engine || g_loadTried) {
        return g_engine;
    }
    g_loadTried = true;
    auto entry = reinterpret_cast<PageEngineEntry>(EngineModule().resolve(kPageEngineEntry));
    if (!entry) {
        LOG_ERROR("web engine not loaded: %s", EngineModule().errorString().toUtf8().constData());
        return nullptr;
    }
    g_engine = entry();
    LOG_INFO("web engine started");
    return g_engine;
}

bool Started() {
    return g_engine != nullptr;
}

const char* EngineVersion() {
    auto entry =
        reinterpret_cast<PageEngineVersionEntry>(EngineModule().resolve(kPageEngineVersionEntry));
    return entry ? entry() : "";
}

void SetSitePolicy(std::function<SitePolicy(const QUrl&)> policy) {
    SitePolicyHolder() = std::move(policy);
}

const std::function<SitePolicy(const QUrl&)>& CurrentSitePolicy() {
    return SitePolicyHolder();
}

}  // namespace BrowserHost
