#include "courses/downloader/DownloaderAddress.h"

#include <cstdlib>

#include "http/Socket.h"

int DownloaderPort() {
    static constexpr long kHighestPort = 65535;
    const char* text = std::getenv(kDownloaderPortEnvironment);
    if (text == nullptr || *text == '\0') {
        return kDownloaderPort;
    }
    char* end = nullptr;
    long port = std::strtol(text, &end, 10);
    return (*end == '\0' && port > 0 && port <= kHighestPort) ? static_cast<int>(port)
                                                              : kDownloaderPort;
}

bool DownloaderAccepts(int timeoutMs) {
    SOCKET socket = CreateTcpSocket();
    if (socket == kInvalidSocket) {
        return false;
    }
    const bool connected = ConnectTcp(socket, kDownloaderHost, DownloaderPort(), timeoutMs) == 0;
    CloseSocket(socket);
    return connected;
}
