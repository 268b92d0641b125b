#include "peers/downloader/DownloaderAddress.h"

#include "http/Socket.h"

bool DownloaderAccepts(int timeoutMs) {
    SOCKET socket = CreateTcpSocket();
    if (socket == kInvalidSocket) {
        return false;
    }
    const bool connected = ConnectTcp(socket, kDownloaderHost, DownloaderPort(), timeoutMs) == 0;
    CloseSocket(socket);
    return connected;
}
