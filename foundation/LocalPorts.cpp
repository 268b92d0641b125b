#include "foundation/LocalPorts.h"

#include <cstdlib>

int PortFromEnvironment(const char* name, int fixed) {
    constexpr long kHighestPort = 65535;
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fixed;
    }
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    return (*end == '\0' && port > 0 && port <= kHighestPort) ? static_cast<int>(port) : fixed;
}

int ChannelPort() {
    return PortFromEnvironment(kChannelPortEnvironment, kChannelPort);
}

int DownloaderPort() {
    return PortFromEnvironment(kDownloaderPortEnvironment, kDownloaderPort);
}
