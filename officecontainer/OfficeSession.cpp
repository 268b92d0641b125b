#include "officecontainer/OfficeSession.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "foundation/ClientLog.h"
#include "officecontainer/FileUrl.h"
#include "officecontainer/OfficeLocation.h"
#include "officecontainer/StoreFilter.h"
#include "platform/process/Processes.h"

namespace {

// What the UNO module links against, in the order they need each other.
constexpr const char* kUnoLibraries[] = {"libuno_sal.so.3", "libuno_salhelpergcc3.so.3",
                                         "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"};

const char* FaultText(OfficeSession::Fault fault) {
    switch (fault) {
        case OfficeSession::Fault::kNoOffice:
            return "LibreOffice is not installed";
        case OfficeSession::Fault::kNoStart:
            return "LibreOffice did not start";
        case OfficeSession::Fault::kCannotOpen:
            return "LibreOffice cannot open the document";
        case OfficeSession::Fault::kOfficeEnded:
            return "LibreOffice ended";
    }
    return "";
}

}  // namespace

OfficeSession::OfficeSession(std::string programDir, std::string moduleDir, Handler handler)
    : m_programDir(std::move(programDir)),
      m_moduleDir(std::move(moduleDir)),
      m_handler(std::move(handler)) {}

OfficeSession::~OfficeSession() {
    m_giveUp.Set();
    if (pid_t pid = m_officePid.load(); pid > 0) {
        KillProcess(pid);
    }
    if (m_watcher.joinable()) {
        m_watcher.join();
    }
    // A loader stuck in a call to an office that is gone returns once the
    // bridge notices; the process is ending anyway.
    if (m_loader.joinable()) {
        m_loader.detach();
    }
    m_host.release();  // its UNO references die with the process
}

bool OfficeSession::SetState(State from, State to) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != from) {
        return false;
    }
    m_state = to;
    m_changed.notify_all();
    return true;
}

void OfficeSession::Fail(Fault fault) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::kClosing || m_state == State::kFailed) {
            return;
        }
        m_state = State::kFailed;
        m_changed.notify_all();
    }
    m_giveUp.Set();
    if (pid_t pid = m_officePid.load(); pid > 0) {
        KillProcess(pid);
    }
    if (m_handler.failed) {
        m_handler.failed(fault);
    }
}

bool OfficeSession::Start(const std::string& documentPath, unsigned long window, int width,
                          int height) {
    if (!SetState(State::kIdle, State::kStarting)) {
        return false;
    }
    if (m_programDir.empty()) {
        LOG_ERROR("office container: %s (no soffice.bin found)", FaultText(Fault::kNoOffice));
        Fail(Fault::kNoOffice);
        return false;
    }
    // The UNO libraries of that very office first, from its own folder: the
    // module then binds to them, and they find the libraries they load
    // beside themselves.
    for (const char* library : kUnoLibraries) {
        const std::string path = m_programDir + "/" + library;
        if (!dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
            LOG_ERROR("office container: %s (%s)", FaultText(Fault::kNoOffice), dlerror());
            Fail(Fault::kNoOffice);
            return false;
        }
    }
    const std::string modulePath = m_moduleDir + "/" + kOfficeHostModuleFile;
    m_module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto factory = m_module
                       ? reinterpret_cast<OfficeHostFactory>(dlsym(m_module, kOfficeHostFactory))
                       : nullptr;
    if (!factory) {
        LOG_ERROR("office container: %s (%s)", FaultText(Fault::kNoOffice), dlerror());
        Fail(Fault::kNoOffice);
        return false;
    }
    m_host.reset(factory());
    std::error_code error;
    if (!std::filesystem::is_regular_file(documentPath, error)) {
        LOG_ERROR("office container: %s: %s is missing", FaultText(Fault::kCannotOpen),
                  documentPath.c_str());
        Fail(Fault::kCannotOpen);
        return false;
    }
    std::string failure;
    if (!m_profile.Create(OfficeProfile::DefaultRoot(), getpid(), &failure)) {
        LOG_ERROR("office container: %s (%s)", FaultText(Fault::kNoStart), failure.c_str());
        Fail(Fault::kNoStart);
        return false;
    }
    m_pipeName = "qorvane_office_" + std::to_string(getpid());
    if (!SpawnOffice()) {
        Fail(Fault::kNoStart);
        return false;
    }
    OfficeStart start;
    start.programDir = m_programDir;
    start.pipeName = m_pipeName;
    start.documentUrl = FileUrlOf(std::filesystem::absolute(documentPath).lexically_normal());
    const std::string extension = std::filesystem::path(documentPath).extension();
    start.storeFilter = StoreFilterFor(extension.empty() ? extension : extension.substr(1));
    start.parentWindow = window;
    start.width = width;
    start.height = height;
    m_loader = std::thread([this, start] { Load(start); });
    return true;
}

bool OfficeSession::SpawnOffice() {
    SpawnOptions options;
    options.argv = {m_programDir + "/" + kOfficeProgram,
                    "-env:UserInstallation=" + m_profile.Url(),
                    "--accept=pipe,name=" + m_pipeName + ";urp;StarOffice.ComponentContext",
                    "--norestore",
                    "--nologo",
                    "--nodefault",
                    "--nolockcheck"};
    // Embedding a frame in a foreign window needs the office's plain X11
    // backend; a desktop's GTK or Qt backend would draw elsewhere.
    options.replaceEnvironment = true;
    for (const std::string& entry : CurrentEnvironment()) {
        if (entry.rfind("SAL_USE_VCLPLUGIN=", 0) != 0) {
            options.environment.push_back(entry);
        }
    }
    options.environment.push_back("SAL_USE_VCLPLUGIN=gen");
    options.nullStdio = true;
    // Our office never outlives us, even when the client has to kill us.
    // The watcher starts it, as the thread that lives as long as it does.
    options.endWithParent = true;
    auto started = std::make_shared<std::promise<bool>>();
    std::future<bool> spawned = started->get_future();
    m_watcher = std::thread([this, options, started] {
        bool first = true;
        for (;;) {
            int error = 0;
            ChildHandle office = ChildHandle::Spawn(options, &error);
            if (!office.Valid()) {
                LOG_ERROR("office container: cannot start %s: %d", options.argv[0].c_str(), error);
            }
            if (first) {
                started->set_value(office.Valid());
                first = false;
            }
            if (!office.Valid()) {
                break;
            }
            m_officePid = office.Pid();
            office.Wait(-1);
            m_officePid = 0;
            // A first start on a new profile ends at once asking to be
            // started again.
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_state != State::kStarting || office.ExitCode() != kRestartExitCode) {
                m_officeEnded = true;
                m_changed.notify_all();
                if (m_state == State::kStarting || m_state == State::kOpen) {
                    LOG_ERROR("office container: %s (status %d)", FaultText(Fault::kOfficeEnded),
                              office.Status());
                    m_ending = true;
                }
                break;
            }
        }
        m_giveUp.Set();
        if (m_ending) {
            Fail(Fault::kOfficeEnded);
        }
    });
    return spawned.get();
}

void OfficeSession::Load(OfficeStart start) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    bool timedOut = false;
    auto retryWait = [&] {
        if (m_giveUp.WaitFor(kConnectRetryMs)) {
            return false;
        }
        timedOut = std::chrono::steady_clock::now() >= deadline;
        return !timedOut;
    };
    std::string detail;
    const OfficeOpen result = m_host->Open(start, retryWait, &detail);
    switch (result) {
        case OfficeOpen::kOpened:
            if (SetState(State::kStarting, State::kOpen)) {
                LOG_INFO("office container: document open (%s)", start.documentUrl.c_str());
                if (m_handler.opened) {
                    m_handler.opened();
                }
            }
            return;
        case OfficeOpen::kNoOffice:
            LOG_ERROR("office container: %s (%s)", FaultText(Fault::kNoOffice), detail.c_str());
            Fail(Fault::kNoOffice);
            return;
        case OfficeOpen::kNoConnection:
            if (timedOut) {
                LOG_ERROR("office container: %s within %d ms", FaultText(Fault::kNoStart),
                          kStartLimitMs);
                Fail(Fault::kNoStart);
            }
            return;  // otherwise it ended, which the watcher reports
        case OfficeOpen::kCannotOpen:
            LOG_ERROR("office container: %s (%s)", FaultText(Fault::kCannotOpen), detail.c_str());
            Fail(Fault::kCannotOpen);
            return;
        case OfficeOpen::kGone:
            return;  // the watcher reports the office's end
    }
}

bool OfficeSession::Save() {
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_for(lock, std::chrono::milliseconds(kSaveWaitMs),
                           [this] { return m_state != State::kStarting; });
        if (m_state != State::kOpen) {
            LOG_ERROR("office container: save asked with no document open");
            return false;
        }
    }
    std::string detail;
    if (!m_host->Save(&detail)) {
        LOG_ERROR("office container: save failed (%s)", detail.c_str());
        return false;
    }
    return true;
}

void OfficeSession::Resize(int width, int height) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_host && (m_state == State::kOpen || m_state == State::kStarting)) {
        lock.unlock();
        m_host->Resize(width, height);
    }
}

void OfficeSession::Focus() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_host && m_state == State::kOpen) {
        lock.unlock();
        m_host->Focus();
    }
}

void OfficeSession::Close() {
    State before;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        before = m_state;
        m_state = State::kClosing;
        m_changed.notify_all();
    }
    m_giveUp.Set();
    if (before == State::kOpen || before == State::kStarting) {
        // Closed and ended through UNO within the budget, else killed: the
        // answers are saved by then, a close drops nothing the learner kept.
        // A call that does not come back in time is left behind: the
        // process is leaving.
        IOfficeHost* host = m_host.get();
        auto closed = std::make_shared<std::promise<void>>();
        std::future<void> done = closed->get_future();
        std::thread([host, closed] {
            host->Close();
            closed->set_value();
        }).detach();
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseBudgetMs);
        done.wait_until(deadline);
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_until(lock, deadline, [this] { return m_officeEnded; });
    }
    if (pid_t pid = m_officePid.load(); pid > 0) {
        KillProcess(pid);
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_for(lock, std::chrono::milliseconds(kKillWaitMs),
                           [this] { return m_officeEnded; });
    }
    m_profile.Remove();
}
