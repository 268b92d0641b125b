// The session service as built, with its sessions read from the script file
// that QORVANE_SESSION_SCRIPT names instead of from logind (which test
// machines do not run). The tests copy it beside the stand-in programs under
// the service's own name.
#include <cstdlib>

#include "service/ServiceProgram.h"
#include "service/SessionJob.h"
#include "tests/service/support/ScriptedSessionProvider.h"

int main(int argc, char** argv) {
    const char* script = std::getenv("QORVANE_SESSION_SCRIPT");
    if (script && *script) {
        std::string path = script;
        SetSessionProviderFactory([path] { return CreateScriptedSessionProvider(path); });
    }
    return RunServiceProgram(argc, argv);
}
