#include "tools/downloader/RegistryRoutes.h"

#include "platform/registry/Registry.h"
#include "tools/standin/RequestParams.h"

namespace {

constexpr const char* kProxyKey = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
constexpr const char* kProductKey = "Software\\KIVO\\QORVANE";

void Answer(httplib::Response& response, bool stored) {
    response.set_content(stored ? R"([{"errorCode":"0","isSuccess":"true"}])"
                                : R"([{"errorCode":"-1","isSuccess":"false"}])",
                         "text/plain");
}

}  // namespace

void SetCustomProxyInfo(const httplib::Request& request, httplib::Response& response) {
    Registry machine(RegistryRoot::LocalMachine);
    const std::string enable(ParamOf(request, "CustomProxyEnable") == "1" ? "1" : "0");
    bool stored = machine.WriteString(kProxyKey, "CustomProxyEnable", enable) == 0;
    for (const char* name : {"CustomProxyServer", "CustomProxyUser", "CustomProxyPass",
                             "CustomProxyAuth", "CustomProxyOverride"}) {
        if (request.has_param(name)) {
            stored = machine.WriteString(kProxyKey, name, ParamOf(request, name)) == 0 && stored;
        }
    }
    Answer(response, stored);
}

void ModifyDataPath(const httplib::Request& request, httplib::Response& response) {
    const std::string path = ParamOf(request, "ModiDataPath");
    if (path.empty()) {
        Answer(response, false);
        return;
    }
    Answer(response,
           Registry(RegistryRoot::LocalMachine).WriteString(kProductKey, "DataPath", path) == 0);
}
