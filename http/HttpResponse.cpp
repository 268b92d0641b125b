#include "http/HttpResponse.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cctype>
#include <cerrno>

CHttpResponse::CHttpResponse() {
    SetHeader("Content-Type", "text/html");
    SetHeader("Access-Control-Allow-Origin", "*");
    SetHeader("Accept-Ranges", "bytes");
    SetHeader("Server", "Simple Http Server");
    SetHeader("Connection", "Close");
}

int CHttpResponse::SetHeader(const std::string& name, const std::string& value) {
    return SetHeaderIn(headers, name, value);
}

int CHttpResponse::SetIntHeader(const std::string& name, int number) {
    return SetHeader(name, std::to_string(number));
}

int CHttpResponse::GetHeader(const std::string& name, std::string& value) const {
    return GetHeaderIn(headers, name, value);
}

void CHttpResponse::SetBody(const std::string& text) {
    body = text;
    SetIntHeader("Content-Length", static_cast<int>(text.size()));
}

int CHttpResponse::Serialize(std::string& out) {
    out.clear();
    bool digits = status.size() == 3 && std::isdigit(static_cast<unsigned char>(status[0])) &&
                  std::isdigit(static_cast<unsigned char>(status[1])) &&
                  std::isdigit(static_cast<unsigned char>(status[2]));
    if ((version != "HTTP/1.0" && version != "HTTP/1.1") || !digits) {
        return -1;
    }
    if (headers.find("Content-Length") == headers.end()) {
        SetIntHeader("Content-Length", static_cast<int>(body.size()));
    }
    out.reserve(256 + body.size());
    out += version + " " + status + " " + reason + "\r\n";
    for (const auto& [name, value] : headers) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    }
    out += "\r\n";
    out += body;
    return 0;
}

int CHttpResponse::Send(SOCKET socket) {
    std::string bytes;
    Serialize(bytes);
    if (bytes.empty()) {
        return 0;
    }
    if (!SetSocketBlocking(socket, true)) {
        return -1;
    }
    timeval limit{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));

    size_t sent = 0;
    int stalled = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a peer that went away must not end the whole program.
        ssize_t wrote = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (wrote > 0) {
            sent += static_cast<size_t>(wrote);
            stalled = 0;
            continue;
        }
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT ||
                          errno == EINTR)) {
            if (errno != EINTR && ++stalled >= kMaxStalledSends) {
                return -1;
            }
            continue;
        }
        return -1;
    }
    return 0;
}
