#include "service/ServiceHost.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/signals/StopSignals.h"
#include "platform/systemd/ServiceManager.h"

namespace {

constexpr const char* kUsageFormat = "Program Arguments:\r\n%s%s%s";
constexpr const char* kUsageCommandLine = "\t-commandline\t:\tLaunched direct from the command-line.\r\n";
constexpr const char* kUsageInstall = "\t-install\t:\tInstall service.\r\n";
constexpr const char* kUsageUninstall = "\t-uninstall\t:\tUninstall service.\r\n\t-help     \t:\tCommand help.\r\n";

void Print(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

}  // namespace

std::string ApplicationName() {
    char target[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", target, sizeof(target) - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(target, static_cast<size_t>(length));
    return path.substr(path.rfind('/') + 1);
}

ServiceHost& ServiceHost::Instance() {
    static ServiceHost host;
    return host;
}

ServiceHost::ServiceHost() = default;

int ServiceHost::RunService(const char* name, int argc, char** argv) {
    if (!name || !*name) {
        return -1;
    }
    serviceName = std::string(name).substr(0, kServiceNameLimit);
    if (m_terminateEvent < 0) {
        m_terminateEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_terminateEvent < 0) {
            Print("Terminate system event\r\n");
        }
    }
    auto closeEvent = [this] {
        if (m_terminateEvent >= 0) {
            close(m_terminateEvent);
            m_terminateEvent = -1;
        }
    };
    if (argc < 2) {
        if (StartedBySystemd()) {
            consoleMode = false;
            ServiceMain();
            return 0;
        }
        consoleMode = true;
        Print("Launched from the command-line because returned error code "
              "[ERROR_FAILED_SERVICE_CONTROLLER_CONNECT].\r\n");
        PrintUsage();
        ServiceMain();
        return 0;
    }
    const std::string argument = argv[1];
    if (argument == "-commandline") {
        consoleMode = true;
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
    closeEvent();
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
        message += "\nERRNO=" + std::to_string(code) + "\nEXIT_STATUS=" +
                   std::to_string(kServiceSpecificError);
    }
    return message;
}

int ServiceHost::ReportStatus(State state, int code) {
    if (consoleMode) {
        return 1;
    }
    if (!statusHandle) {
        return 0;
    }
    if (state == State::Stopped || state == State::Running) {
        checkpointCounter = 0;
    }
    const uint32_t checkpoint = checkpointCounter++;
    return NotifySystemd(StatusMessage(state, code, checkpoint));
}

void ServiceHost::RequestStop() {
    if (!consoleMode && statusHandle) {
        ReportStatus(State::StopPending, 0);
    }
    if (m_terminateEvent >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t wrote = write(m_terminateEvent, &one, sizeof(one));
    }
}

void ServiceHost::HandleStopSignal(int signo) {
    if (signo == SIGINT) {
        Print("CTRL_C_EVENT \n");
    }
    RequestStop();
}

void ServiceHost::WaitForStop() {
    for (;;) {
        pollfd entries[2] = {{m_terminateEvent, POLLIN, 0}, {m_signalFd, POLLIN, 0}};
        int ready = poll(entries, m_signalFd >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (ready > 0 && (entries[1].revents & POLLIN)) {
            if (int signo = ReadStopSignal(m_signalFd)) {
                HandleStopSignal(signo);
            }
        }
        if (ready > 0 && (entries[0].revents & POLLIN)) {
            return;
        }
    }
}

void ServiceHost::ServiceMain() {
    // Ctrl+C and termination requests arrive on a descriptor; they must be
    // blocked before the job starts its threads, which inherit the mask.
    BlockStopSignals();
    m_signalFd = OpenStopSignalDescriptor();
    if (!consoleMode) {
        statusHandle = true;
        ReportStatus(State::StartPending, 0);
    }
    if (startHook && startHook() != 0) {
        ReportStatus(State::Running, 0);
        WaitForStop();
    }
    FinishService();
}

void ServiceHost::FinishService() {
    // errno here is whatever the last system call left behind, not a
    // failure of the job, so the stop is reported without an error code.
    if (!consoleMode && statusHandle) {
        ReportStatus(State::StopPending, 0);
    }
    if (stopHook) {
        stopHook();
    }
    if (m_terminateEvent >= 0) {
        close(m_terminateEvent);
        m_terminateEvent = -1;
    }
    if (m_signalFd >= 0) {
        close(m_signalFd);
        m_signalFd = -1;
    }
    if (!consoleMode && statusHandle) {
        ReportStatus(State::Stopped, 0);
        checkpointCounter = 1;
    }
}

int ServiceHost::InstallService() {
    char target[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", target, sizeof(target) - 1);
    if (length <= 0) {
        return 0;
    }
    return InstallUnit(serviceName, std::string(target, static_cast<size_t>(length)));
}

int ServiceHost::UninstallService() {
    return UninstallUnit(serviceName);
}
