#include "service/SessionJob.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/CLog.h"
#include "http/HttpGetClient.h"
#include "platform/crash/CrashFilter.h"
#include "platform/event/StopEvent.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/session/SessionProvider.h"

namespace {

constexpr const char* kExitRequestFormat =
    "http://127.0.0.1:%d/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=";
constexpr int kExitRequestTimeoutMs = 1000;
constexpr int kExitRequestRedirects = 10;
constexpr int kStatusOk = 200;
constexpr int kRestartDelayMs = 1000;
constexpr int kLaunchRetryMs = 500;
constexpr int kClientPollMs = 2000;

struct JobState {
    std::atomic<int> stopFlag{0};
    std::string lastSessionId;             // only the client keeper writes after start
    std::unique_ptr<StopEvent> stopEvent;  // set once stopping; new for every start
    std::unique_ptr<SessionProvider> sessions;
    std::mutex sessionsLock;
    std::thread downloaderKeeper;
    std::thread clientKeeper;
};

JobState& Job() {
    static JobState state;
    return state;
}

std::function<std::unique_ptr<SessionProvider>()>& SessionProviderFactory() {
    static std::function<std::unique_ptr<SessionProvider>()> factory;
    return factory;
}

SessionProvider& Sessions() {
    JobState& job = Job();
    std::lock_guard<std::mutex> hold(job.sessionsLock);
    if (!job.sessions) {
        job.sessions =
            SessionProviderFactory() ? SessionProviderFactory()() : CreateLogindSessionProvider();
    }
    return *job.sessions;
}

std::string ActiveConsoleSessionId() {
    return Sessions().ActiveSession();
}

// Sleeps for ms, or less when the job is stopping.
void Pause(int ms) {
    Job().stopEvent->WaitFor(ms);
}

bool Stopping() {
    return Job().stopFlag.load() != 0;
}

std::string VariableName(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// The service's own environment, less what systemd set up for the service
// process alone: a child reading NOTIFY_SOCKET, LISTEN_* or WATCHDOG_* would
// take the service's notifications, sockets or watchdog for its own.
std::vector<std::string> ServiceEnvironment() {
    constexpr std::string_view kServiceOnly[] = {"NOTIFY_SOCKET",  "INVOCATION_ID",
                                                 "JOURNAL_STREAM", "SYSTEMD_EXEC_PID",
                                                 "LISTEN_",        "WATCHDOG_"};
    std::vector<std::string> out;
    for (std::string& entry : CurrentEnvironment()) {
        const std::string name = VariableName(entry);
        bool serviceOnly = false;
        for (std::string_view word : kServiceOnly) {
            serviceOnly =
                serviceOnly || (word.back() == '_' ? name.starts_with(word) : name == word);
        }
        if (!serviceOnly) {
            out.push_back(std::move(entry));
        }
    }
    return out;
}

// The service's environment with the session's variables over it, and the
// session user's own identity where the session did not say.
std::vector<std::string> ClientEnvironment(const SessionInfo& session) {
    std::vector<std::string> overrides = session.environment;
    auto has = [&](const char* name) {
        return std::any_of(overrides.begin(), overrides.end(),
                           [&](const std::string& entry) { return VariableName(entry) == name; });
    };
    if (!has("HOME")) {
        overrides.push_back("HOME=" + session.home);
    }
    if (!has("USER")) {
        overrides.push_back("USER=" + session.user);
    }
    if (!has("LOGNAME")) {
        overrides.push_back("LOGNAME=" + session.user);
    }
    std::vector<std::string> out;
    for (std::string& entry : ServiceEnvironment()) {
        const std::string name = VariableName(entry);
        if (std::none_of(overrides.begin(), overrides.end(),
                         [&](const std::string& o) { return VariableName(o) == name; })) {
            out.push_back(std::move(entry));
        }
    }
    out.insert(out.end(), overrides.begin(), overrides.end());
    return out;
}

void DownloaderKeeper() {
    PrepareCrashStack();
    NotifyExitProcess(DownloaderPort());
    SpawnOptions options;
    // The service's own environment and folder (the unit runs the service in
    // the program folder).
    options.argv = {ProgramDirectory() + kDownloaderProgram, "-commandline"};
    options.replaceEnvironment = true;
    options.environment = ServiceEnvironment();
    // Like the client, it has no console of its own: a Ctrl+C meant for the
    // service must not reach it.
    options.nullStdio = true;
    options.newSession = true;
    while (!Stopping()) {
        ChildHandle downloader = ChildHandle::Spawn(options);
        // The stop wakes this wait too, so that stopping never hangs on a
        // downloader that confirmed the exit request but lingers.
        if (downloader.Valid()) {
            downloader.Wait(-1, Job().stopEvent->Descriptor());
        }
        Pause(kRestartDelayMs);
    }
}

void ClientKeeper() {
    PrepareCrashStack();
    JobState& job = Job();
    NotifyExitProcess(ChannelPort());
    const std::string program = ProgramDirectory() + kClientProgram;
    ChildHandle client;
    std::vector<ChildHandle> leaving;
    while (!Stopping()) {
        if (!client.Valid()) {
            client = LaunchAppIntoDifferentSession(program);
            if (!client.Valid()) {
                Pause(kLaunchRetryMs);
                continue;
            }
            job.lastSessionId = ActiveConsoleSessionId();
        }
        std::erase_if(leaving, [](ChildHandle& old) { return old.Wait(0); });
        if (client.Wait(kClientPollMs, job.stopEvent->Descriptor())) {
            client.Close();
            Pause(kRestartDelayMs);
            continue;
        }
        if (Stopping()) {
            break;
        }
        const std::string current = ActiveConsoleSessionId();
        if (current == job.lastSessionId) {
            continue;
        }
        SVC_LOG("Check ActiveConsoleSessionId Changed last=%s current=%s",
                job.lastSessionId.c_str(), current.c_str());
        if (NotifyExitProcess(ChannelPort()) != 0) {
            client.Terminate();
        }
        // A client that agreed to exit may take a moment; it is kept until it
        // has ended so that it is collected instead of lingering as a zombie.
        leaving.push_back(std::move(client));
        Pause(kRestartDelayMs);
        std::erase_if(leaving, [](ChildHandle& old) { return old.Wait(0); });
    }
    // A client still running is EndSysProc's to end.
    client.Close();
}

}  // namespace

int NotifyExitProcess(int port) {
    char url[256];
    snprintf(url, sizeof(url), kExitRequestFormat, port);
    CHttpGetClient client;
    client.Get(url, kExitRequestTimeoutMs, kExitRequestRedirects);
    const int status =
        client.lastError == CHttpGetClient::kOk ? std::atoi(client.response.status.c_str()) : 0;
    if (client.lastError == CHttpGetClient::kOk && status == kStatusOk) {
        return 0;
    }
    SVC_LOG("NotifyExitProcess, %d failed %d %d", port, client.lastError, status);
    return -1;
}

ChildHandle LaunchAppIntoDifferentSession(const std::string& program) {
    SVC_LOG("start LaunchAppIntoDifferentSession");
    SessionProvider& sessions = Sessions();
    std::string target = sessions.ActiveSession();
    SessionInfo session;
    if (target.empty() || !sessions.Describe(target, session)) {
        // The session's user could not be told: no active session (ENOENT)
        // or one whose details could not be read (ESRCH).
        SVC_LOG(" pfnWTSQueryUserToken false %d try again", target.empty() ? ENOENT : ESRCH);
        const std::string other = sessions.OtherSession(target);
        if (other.empty()) {
            SVC_LOG(" WTSEnumerateSessions not found");
            return {};
        }
        target = other;
        SVC_LOG("try again WTSGetActiveConsoleSessionId %s", target.c_str());
        if (!sessions.Describe(target, session)) {
            return {};
        }
    }

    SpawnOptions options;
    options.argv = {program};  // in the service's folder, like the downloader
    options.user.set = true;
    options.user.uid = session.uid;
    options.user.gid = session.gid;
    options.user.groups = session.groups;
    options.newSession = true;
    options.nullStdio = true;
    // The service's environment under the session's: without the session's
    // variables the client has no display to show itself on, and the log
    // says so.
    SVC_LOG(session.environment.empty() ? "CreateEnvironmentBlock 2" : "CreateEnvironmentBlock");
    options.replaceEnvironment = true;
    options.environment = ClientEnvironment(session);
    int error = 0;
    ChildHandle child = ChildHandle::Spawn(options, &error);
    if (!child.Valid()) {
        SVC_ERROR("CreateProcessAsUser Error: %u\n", static_cast<unsigned>(error));
    }
    return child;
}

void SetSessionProviderFactory(std::function<std::unique_ptr<SessionProvider>()> factory) {
    SessionProviderFactory() = std::move(factory);
}

int StartSysProc() {
    JobState& job = Job();
    SVC_LOG("StartSysProc service");
    job.stopFlag = 0;
    job.stopEvent = std::make_unique<StopEvent>();
    job.lastSessionId = ActiveConsoleSessionId();
    job.downloaderKeeper = std::thread(DownloaderKeeper);
    job.clientKeeper = std::thread(ClientKeeper);
    return 0;
}

int EndSysProc() {
    JobState& job = Job();
    SVC_LOG("EndSysProc service");
    job.stopFlag = 1;
    if (job.stopEvent) {
        job.stopEvent->Set();
    }
    std::vector<std::string> names;
    if (NotifyExitProcess(DownloaderPort()) != 0) {
        names.push_back(ProgramDirectory() + kDownloaderProgram);
    }
    if (NotifyExitProcess(ChannelPort()) != 0) {
        names.push_back(ProgramDirectory() + kClientProgram);
    }
    TerminateProcessesByPath(names);
    // Both keepers end promptly now: the stop event wakes their pauses and
    // waits, and the downloader they wait for has been asked to exit or killed.
    if (job.clientKeeper.joinable()) {
        job.clientKeeper.join();
    }
    if (job.downloaderKeeper.joinable()) {
        job.downloaderKeeper.join();
    }
    return 0;
}
