#include "service/ServiceProgram.h"

#include <string>

#include "foundation/CLog.h"
#include "platform/crash/CrashFilter.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/signals/StopSignals.h"
#include "service/ServiceHost.h"
#include "service/SessionJob.h"

int RunServiceProgram(int argc, char** argv) {
    // Before any thread exists, so that every thread inherits the mask.
    BlockStopSignals();
    const std::string logBase = ProgramDirectory() + "Qorvane";
    CLog::Instance().Open(logBase.c_str());
    SVC_LOG("Init service");

    InstallCrashFilter();
    LockCrashFilter();

    ServiceHost& host = ServiceHost::Instance();
    host.SetJob(StartSysProc, EndSysProc);
    host.RunService(ApplicationName().c_str(), argc, argv);
    SVC_LOG("End Server");
    return 0;
}
