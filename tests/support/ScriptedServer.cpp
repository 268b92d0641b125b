#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace {

int ListenLoopback(int backlog, int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, backlog) != 0) {
        close(fd);
        return -1;
    }
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

ScriptedServer::ScriptedServer(Handler handler) : m_handler(std::move(handler)) {
    m_listen = ListenLoopback(16, m_port);
    if (pipe2(m_wake, O_CLOEXEC) != 0) {
        m_wake[0] = m_wake[1] = -1;
    }
    m_thread = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_stopped.notify_all();
    if (m_wake[1] >= 0) {
        (void)!write(m_wake[1], "x", 1);
    }
    m_thread.join();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::vector<std::string> ScriptedServer::Requests() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

bool ScriptedServer::SendAll(int fd, std::string_view bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedServer::Pause(int ms) {
    std::unique_lock<std::mutex> guard(m_lock);
    return !m_stopped.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void ScriptedServer::Serve() {
    for (;;) {
        pollfd waits[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return;
        }
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        std::string request;
        if (ReadRequest(fd, request)) {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_requests.push_back(request);
            }
            if (!m_handler(*this, fd, request)) {
                HoldUntilClosed(fd);
            }
        }
        close(fd);
    }
}

bool ScriptedServer::ReadRequest(int fd, std::string& request) {
    size_t need = std::string::npos;
    char piece[65536];
    for (;;) {
        size_t end = request.find("\r\n\r\n");
        if (end != std::string::npos && need == std::string::npos) {
            std::string head = Lower(request.substr(0, end));
            size_t at = head.find("\r\ncontent-length:");
            need =
                end + 4 +
                (at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10));
        }
        if (need != std::string::npos && request.size() >= need) {
            return true;
        }
        pollfd waits[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return false;
        }
        ssize_t got = recv(fd, piece, sizeof(piece), 0);
        if (got <= 0) {
            return false;
        }
        request.append(piece, static_cast<size_t>(got));
    }
}

void ScriptedServer::HoldUntilClosed(int fd) {
    char piece[4096];
    for (;;) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return;
        }
        if (recv(fd, piece, sizeof(piece), 0) <= 0) {
            return;
        }
    }
}

BlackHoleListener::BlackHoleListener() {
    // A backlog of 0 queues one finished handshake; once the filler holds
    // that place, the kernel drops every further SYN.
    m_listen = ListenLoopback(0, m_port);
    m_filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
}

BlackHoleListener::~BlackHoleListener() {
    close(m_filler);
    close(m_listen);
}
