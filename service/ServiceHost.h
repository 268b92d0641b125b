#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class StopEvent;

// The host around the service's job: the command line, installing and
// removing the systemd unit, status reports to systemd, and a console mode
// that runs the same job without systemd. One instance per process.
class ServiceHost {
public:
    static constexpr size_t kServiceNameLimit = 63;
    static constexpr int kWaitHintMs = 5000;
    // The exit code reported with a failed service, beside the specific code.
    static constexpr int kServiceSpecificError = 1066;

    enum class State { Stopped, StartPending, StopPending, Running };

    static ServiceHost& Instance();

    // The job: start returns 0 when it runs (the host then waits for the
    // stop request), stop ends it. Set both before RunService.
    void SetJob(std::function<int()> start, std::function<int()> stop);

    // 0, or -1 for an empty name or a failure to run as a service.
    int RunService(const char* name, int argc, char** argv);
    // The result of sending; 1 in console mode, 0 when not reporting.
    int ReportStatus(State state, int code);
    // Asks the running job to end; safe from any thread.
    void RequestStop();
    int InstallService();
    int UninstallService();
    void PrintUsage();

    // The notification text for a status report (see ReportStatus).
    std::string StatusMessage(State state, int code, uint32_t checkpoint) const;

private:
    ServiceHost();
    ~ServiceHost();
    void ServiceMain();
    void FinishService();
    // Waits for the stop request, handling Ctrl+C and termination requests.
    void WaitForStop();
    void HandleStopSignal(int signo);

    std::unique_ptr<StopEvent> m_terminateEvent;  // set once the stop is requested
    int m_signalFd = -1;
    std::function<int()> m_startHook;
    std::function<int()> m_stopHook;
    std::string m_serviceName;
    uint32_t m_checkpoint = 1;
    bool m_consoleMode = false;
    bool m_reportingToSystemd = false;
};

// The program's application name: its file name ("Qorvane").
std::string ApplicationName();
