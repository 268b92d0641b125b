#include "http/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

bool ReadSocketType(SOCKET socket) {
    int type = 0;
    socklen_t length = sizeof(type);
    return getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0;
}

// Errors that accept(2) reports for one pending connection, not for the
// listening socket: the next connection is unaffected.
bool IsTransientAcceptError(int error) {
    switch (error) {
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
        case EAGAIN:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ResolveIpv4(const std::string& host, uint32_t& address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1 && parsed.s_addr != INADDR_NONE &&
        ntohl(parsed.s_addr) > 0x01000000u) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

SOCKET CreateTcpSocket() {
    SOCKET fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return kInvalidSocket;
    }
    if (!SetSocketBlocking(fd, false)) {
        close(fd);
        return kInvalidSocket;
    }
    return fd;
}

int ConnectTcp(SOCKET socket, const std::string& host, int port, int timeoutMs) {
    if (!ReadSocketType(socket)) {
        return -1;
    }
    if (timeoutMs < 0) {
        timeoutMs = 0;
    }
    uint32_t resolved = 0;
    if (!ResolveIpv4(host, resolved)) {
        return -1;
    }
    return ConnectTcpAddress(socket, resolved, port, timeoutMs) == ConnectOutcome::kConnected ? 0 : -1;
}

ConnectOutcome ConnectTcpAddress(SOCKET socket, uint32_t address, int port, int timeoutMs) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr.s_addr = address;
    if (!SetSocketBlocking(socket, false)) {
        return ConnectOutcome::kFailed;
    }
    if (connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof(target)) == 0) {
        return ConnectOutcome::kConnected;
    }
    if (errno != EINPROGRESS) {
        return ConnectOutcome::kFailed;
    }
    // A signal during the wait resumes it with the time that is left.
    int ready = WaitForSocket(socket, POLLOUT, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready == 0) {
        return ConnectOutcome::kTimedOut;
    }
    // Writable with a pending error means the connection was refused.
    int error = 0;
    socklen_t length = sizeof(error);
    bool connected =
        ready == 1 && getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    return connected ? ConnectOutcome::kConnected : ConnectOutcome::kFailed;
}

int ListenTcp(SOCKET socket, const std::string& ip, int port) {
    if (socket <= 0 || !ReadSocketType(socket)) {
        return -1;
    }
    int reuse = 1;
    if (setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse)) != 0) {
        close(socket);
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (ip.empty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
        return -1;
    }
    // listen() on an unbound socket quietly picks another port, so a taken
    // port must fail right at the bind.
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return -1;
    }
    return listen(socket, kListenBacklog) == 0 ? 0 : -1;
}

SOCKET AcceptTcp(SOCKET listening, std::string& ip, int& port) {
    if (listening <= 0) {
        return kInvalidSocket;
    }
    if (!SetSocketBlocking(listening, true)) {
        return kInvalidSocket;
    }
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        SOCKET fd = accept4(listening, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd >= 0) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
            ip = text;
            port = ntohs(peer.sin_port);
            return fd;
        }
        if (!IsTransientAcceptError(errno)) {
            return kInvalidSocket;
        }
    }
}

void ShutdownSocket(SOCKET socket) {
    if (socket != kInvalidSocket) {
        ::shutdown(socket, SHUT_RDWR);
    }
}

void CloseSocket(SOCKET socket) {
    if (socket >= 0) {
        close(socket);
    }
}

int WaitForSocket(SOCKET socket, short events, int timeoutMs) {
    const long long deadline = SteadyNowMs() + (timeoutMs < 0 ? 0 : timeoutMs);
    pollfd waiting{socket, events, 0};
    for (;;) {
        int limit = timeoutMs < 0 ? -1 : static_cast<int>(std::max(0LL, deadline - SteadyNowMs()));
        int ready = poll(&waiting, 1, limit);
        if (ready > 0) {
            return 1;
        }
        if (ready == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

long long SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool SetSocketBlocking(SOCKET socket, bool blocking) {
    int flags = fcntl(socket, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(socket, F_SETFL, flags) == 0;
}

int LastSocketError() {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return kErrorWouldBlock;
    }
    if (errno == ETIMEDOUT) {
        return kErrorTimedOut;
    }
    return errno;
}
