#include "config/ProxyForm.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstdlib>

#include "foundation/UrlUtil.h"
#include "platform/registry/Registry.h"

namespace {

constexpr int kHighestPort = 65535;
constexpr const char* kAuthType = "Basic";
constexpr const char* kOverride = "<local>";

bool ValidPort(const std::string& text) {
    int port = 0;
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, port);
    return error == std::errc() && last == end && port >= 1 && port <= kHighestPort;
}

}  // namespace

ProxyForm ProxyForm::LoadStored() {
    ProxyForm form;
    std::string enable, server;
    RegReadString(kProxyInfoKey, "CustomProxyEnable", enable);
    RegReadString(kProxyInfoKey, "CustomProxyServer", server);
    RegReadString(kProxyInfoKey, "CustomProxyUser", form.user);
    RegReadString(kProxyInfoKey, "CustomProxyPass", form.password);
    form.enabled = std::atoi(enable.c_str()) != 0;
    const size_t colon = server.find(':');
    form.address = server.substr(0, colon);
    form.port = std::to_string(colon == std::string::npos ? kDefaultPort
                                                          : std::atoi(server.c_str() + colon + 1));
    return form;
}

bool ProxyForm::Valid() const {
    if (!enabled) {
        return true;
    }
    in_addr parsed{};
    return inet_pton(AF_INET, address.c_str(), &parsed) == 1 && ValidPort(port) && !user.empty() &&
           !password.empty();
}

std::string ProxyForm::RequestTarget() const {
    auto param = [](const char* name, const std::string& value) {
        return std::string(name) + "=" + UrlEncodeQuery(value);
    };
    return std::string(kRequestPath) + "?" + param("CustomProxyEnable", enabled ? "1" : "0") + "&" +
           param("CustomProxyServer", address + ":" + port) + "&" + param("CustomProxyUser", user) +
           "&" + param("CustomProxyPass", password) + "&" + param("CustomProxyAuth", kAuthType) +
           "&" + param("CustomProxyOverride", kOverride);
}
