#include "service/ServiceHost.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/event/StopEvent.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/signals/StopSignals.h"
#include "platform/systemd/ServiceManager.h"

namespace {

constexpr const char* kUsageFormat = "Program Arguments:\r\n%s%s%s";
constexpr const char* kUsageCommandLine =
    "\t-commandline\t:\tLaunched direct from the command-line.\r\n";
constexpr const char* kUsageInstall = "\t-install\t:\tInstall service.\r\n";
constexpr const char* kUsageUninstall =
    "\t-uninstall\t:\tUninstall service.\r\n\t-help     \t:\tCommand help.\r\n";

void Print(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

}  // namespace

std::string ApplicationName() {
    std::string path = ProgramPath();
    return path.substr(path.rfind('/') + 1);
}

ServiceHost& ServiceHost::Instance() {
    static ServiceHost host;
    return host;
}

ServiceHost::ServiceHost() = default;
ServiceHost::~ServiceHost() = default;

void ServiceHost::SetJob(std::function<int()> start, std::function<int()> stop) {
    m_startHook = std::move(start);
    m_stopHook = std::move(stop);
}

int ServiceHost::RunService(const char* name, int argc, char** argv) {
    if (!name || !*name) {
        return -1;
    }
    m_serviceName = std::string(name).substr(0, kServiceNameLimit);
    m_terminateEvent = std::make_unique<StopEvent>();
    if (!m_terminateEvent->Valid()) {
        Print("Terminate system event\r\n");
    }
    if (argc < 2) {
        if (StartedBySystemd()) {
            m_consoleMode = false;
            ServiceMain();
            return 0;
        }
        m_consoleMode = true;
        Print(
            "Launched from the command-line because returned error code "
            "[ERROR_FAILED_SERVICE_CONTROLLER_CONNECT].\r\n");
        PrintUsage();
        ServiceMain();
        return 0;
    }
    const std::string argument = argv[1];
    if (argument == "-commandline") {
        m_consoleMode = true;
        Print("Launched from the command-line.\r\n");
        ServiceMain();
        return 0;
    }
    if (argument == "-install") {
        InstallService();
    } else if (argument == "-uninstall") {
        UninstallService();
    } else {
        PrintUsage();
    }
    m_terminateEvent.reset();
    return 0;
}

void ServiceHost::PrintUsage() {
    std::printf(kUsageFormat, kUsageCommandLine, kUsageInstall, kUsageUninstall);
    std::fflush(stdout);
}

std::string ServiceHost::StatusMessage(State state, int code, uint32_t checkpoint) const {
    const std::string hint = "EXTEND_TIMEOUT_USEC=" + std::to_string(kWaitHintMs * 1000LL);
    const std::string step = std::to_string(checkpoint);
    std::string message;
    switch (state) {
        case State::StartPending:
            message = "STATUS=Starting (" + step + ")\n" + hint;
            break;
        case State::Running:
            message = "READY=1\nSTATUS=Running";
            break;
        case State::StopPending:
            message = "STOPPING=1\nSTATUS=Stopping (" + step + ")\n" + hint;
            break;
        case State::Stopped:
            message = "STATUS=Stopped";
            break;
    }
    if (code != 0) {
        message += "\nERRNO=" + std::to_string(code) +
                   "\nEXIT_STATUS=" + std::to_string(kServiceSpecificError);
    }
    return message;
}

int ServiceHost::ReportStatus(State state, int code) {
    if (m_consoleMode) {
        return 1;
    }
    if (!m_reportingToSystemd) {
        return 0;
    }
    if (state == State::Stopped || state == State::Running) {
        m_checkpoint = 0;
    }
    const uint32_t checkpoint = m_checkpoint++;
    return NotifySystemd(StatusMessage(state, code, checkpoint));
}

void ServiceHost::RequestStop() {
    if (!m_consoleMode && m_reportingToSystemd) {
        ReportStatus(State::StopPending, 0);
    }
    if (m_terminateEvent) {
        m_terminateEvent->Set();
    }
}

void ServiceHost::HandleStopSignal(int signo) {
    if (IsInterruptSignal(signo)) {
        Print("CTRL_C_EVENT \n");
    }
    RequestStop();
}

void ServiceHost::WaitForStop() {
    for (;;) {
        switch (m_terminateEvent->WaitWith(m_signalFd, -1)) {
            case StopEvent::Wake::kOther:
                if (int signo = ReadStopSignal(m_signalFd)) {
                    HandleStopSignal(signo);
                }
                break;
            case StopEvent::Wake::kTimeout:
                break;
            case StopEvent::Wake::kEvent:
            case StopEvent::Wake::kFailed:
                return;
        }
    }
}

void ServiceHost::ServiceMain() {
    // Ctrl+C and termination requests arrive on a descriptor; they must be
    // blocked before the job starts its threads, which inherit the mask.
    BlockStopSignals();
    m_signalFd = OpenStopSignalDescriptor();
    if (!m_consoleMode) {
        m_reportingToSystemd = true;
        ReportStatus(State::StartPending, 0);
    }
    if (m_startHook && m_startHook() == 0) {
        ReportStatus(State::Running, 0);
        WaitForStop();
    }
    FinishService();
}

void ServiceHost::FinishService() {
    // errno here is whatever the last system call left behind, not a
    // failure of the job, so the stop is reported without an error code.
    if (!m_consoleMode && m_reportingToSystemd) {
        ReportStatus(State::StopPending, 0);
    }
    if (m_stopHook) {
        m_stopHook();
    }
    m_terminateEvent.reset();
    CloseStopSignalDescriptor(m_signalFd);
    m_signalFd = -1;
    if (!m_consoleMode && m_reportingToSystemd) {
        ReportStatus(State::Stopped, 0);
        m_checkpoint = 1;
    }
}

int ServiceHost::InstallService() {
    std::string program = ProgramPath();
    if (program.empty()) {
        return 0;
    }
    return InstallUnit(m_serviceName, program);
}

int ServiceHost::UninstallService() {
    return UninstallUnit(m_serviceName);
}
