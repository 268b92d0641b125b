#include "tools/standin/LongRequestServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tools/standin/RequestParams.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
        port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
        port = ntohs(in6->sin6_port);
    }
    ip = text;
}

// The connection as the library reads it: first whatever Prepare() put in
// front (the possibly restated head), then the socket.
class ConnectionStream : public httplib::Stream {
public:
    explicit ConnectionStream(int sock) : m_sock(sock) {}

    // Reads the head and takes the query out of a too long GET line. When the
    // peer sends nothing usable in time the library answers what it can.
    void Prepare();
    // Puts a query that Prepare() took out of the line back into the request.
    void RestoreQuery(httplib::Request& request) const;

    bool is_readable() const override { return m_pos < m_front.size() || Wait(POLLIN, kRead); }
    bool is_writable() const override { return Wait(POLLOUT, kWrite); }
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_sock; }

private:
    static constexpr int kRead = LongRequestServer::kReadTimeoutMs;
    static constexpr int kWrite = LongRequestServer::kWriteTimeoutMs;

    bool Wait(short events, int timeoutMs) const {
        pollfd wait{m_sock, events, 0};
        return poll(&wait, 1, timeoutMs) > 0;
    }
    std::string Restate(const std::string& head);

    int m_sock;
    std::string m_front;
    size_t m_pos = 0;
    std::string m_movedQuery;
};

void ConnectionStream::Prepare() {
    char chunk[kReadChunk];
    while (m_front.find("\r\n\r\n") == std::string::npos &&
           m_front.size() < LongRequestServer::kMaxHead) {
        // Short lines need nothing from us: hand over as soon as the line is complete.
        size_t line = m_front.find("\r\n");
        if (line != std::string::npos && line <= LongRequestServer::kLibraryLineLimit) {
            return;
        }
        if (!Wait(POLLIN, kRead)) {
            return;
        }
        ssize_t got = recv(m_sock, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            return;
        }
        m_front.append(chunk, static_cast<size_t>(got));
    }
    size_t headEnd = m_front.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        return;
    }
    m_front = Restate(m_front.substr(0, headEnd + 4)) + m_front.substr(headEnd + 4);
}

std::string ConnectionStream::Restate(const std::string& head) {
    size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    size_t question = line.find('?');
    size_t version = line.rfind(' ');
    if (lineEnd <= LongRequestServer::kLibraryLineLimit || line.compare(0, 4, "GET ") != 0 ||
        question == std::string::npos || version == std::string::npos || version < question) {
        return head;  // not ours to restate; the library refuses it as too long
    }
    m_movedQuery = line.substr(question + 1, version - question - 1);
    return line.substr(0, question) + line.substr(version) + head.substr(lineEnd);
}

void ConnectionStream::RestoreQuery(httplib::Request& request) const {
    if (m_movedQuery.empty()) {
        return;
    }
    request.target += "?" + m_movedQuery;
    request.params.clear();
    size_t pos = 0;
    while (pos <= m_movedQuery.size()) {
        size_t amp = m_movedQuery.find('&', pos);
        std::string piece = m_movedQuery.substr(pos, amp == std::string::npos ? amp : amp - pos);
        size_t equals = piece.find('=');
        if (!piece.empty()) {
            request.params.emplace(
                PercentDecoded(piece.substr(0, equals)),
                equals == std::string::npos ? "" : PercentDecoded(piece.substr(equals + 1)));
        }
        if (amp == std::string::npos) {
            break;
        }
        pos = amp + 1;
    }
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    if (m_pos < m_front.size()) {
        size_t n = std::min(size, m_front.size() - m_pos);
        std::memcpy(ptr, m_front.data() + m_pos, n);
        m_pos += n;
        return static_cast<ssize_t>(n);
    }
    if (!Wait(POLLIN, kRead)) {
        return -1;
    }
    return recv(m_sock, ptr, size, 0);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    if (!Wait(POLLOUT, kWrite)) {
        return -1;
    }
    return send(m_sock, ptr, size, MSG_NOSIGNAL);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (getpeername(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (getsockname(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

void LiftFormLimit(httplib::Request& request) {
    const std::string type = request.get_header_value("Content-Type");
    const std::string length = request.get_header_value("Content-Length");
    if (type.rfind(LongRequestServer::kFormType, 0) != 0 || length.empty() ||
        std::strtoull(length.c_str(), nullptr, 10) <= LongRequestServer::kLibraryFormLimit) {
        return;
    }
    request.headers.erase("Content-Type");
    request.set_header("Content-Type", "application/octet-stream");
    request.set_header(LongRequestServer::kOriginalTypeHeader, type);
}

}  // namespace

bool LongRequestServer::process_and_close_socket(socket_t sock) {
    bool handled = false;
    {
        ConnectionStream stream(sock);
        stream.Prepare();
        bool closed = false;
        handled = process_request(stream, true, closed, [&stream](httplib::Request& request) {
            stream.RestoreQuery(request);
            LiftFormLimit(request);
        });
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return handled;
}
