#include "tests/support/RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

RawClient::~RawClient() {
    Close();
}

bool RawClient::Connect(int port, const std::string& host) {
    Close();
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &address.sin_addr);
    return connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool RawClient::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string RawClient::ReadUntilClosed(int timeoutMs, bool* timedOut) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (timedOut) {
        *timedOut = false;
    }
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            if (timedOut) {
                *timedOut = true;
            }
            return out;
        }
        pollfd waiting{m_fd, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buffer[8192];
        ssize_t n = recv(m_fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            return out;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

void RawClient::Close() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}
