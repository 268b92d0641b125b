#include "http/HttpRequest.h"

#include "foundation/UrlUtil.h"

#include <poll.h>  // POLLIN for WaitForSocket
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "foundation/TextUtil.h"
#include "http/RequestFramer.h"

namespace {

// strtok-style split: empty fields are skipped.
template <typename Fn>
void ForEachField(std::string_view text, char separator, Fn fn) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            fn(text.substr(start, end - start));
        }
        start = end + 1;
    }
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CHttpRequest::CHttpRequest() {
    Reset();
}

void CHttpRequest::Reset() {
    method = "GET";
    path = "/";
    target.clear();
    headers.clear();
    params.clear();
    paramText.clear();
    body.clear();
    version = "HTTP/1.1";
    host.clear();
    port = kDefaultHttpPort;
    SetHeader("Accept", "*/*");
    SetHeader("User-Agent", "Simple Http Client");
    SetHeader("Connection", "Keep-Alive");
}

int CHttpRequest::SetHeader(const std::string& name, const std::string& value) {
    return SetHeaderIn(headers, name, value);
}

int CHttpRequest::SetIntHeader(const std::string& name, int number) {
    return SetHeader(name, std::to_string(number));
}

int CHttpRequest::GetHeader(const std::string& name, std::string& value) const {
    return GetHeaderIn(headers, name, value);
}

int CHttpRequest::AddParam(const std::string& name, const std::string& value) {
    for (auto it = params.begin(); it != params.end(); ++it) {
        if (EqualsIgnoreCase(it->first, name)) {
            params.erase(it);
            break;
        }
    }
    params[name] = value;
    return 0;
}

int CHttpRequest::GetParam(const std::string& name, std::string& value) const {
    value.clear();
    for (const auto& [key, text] : params) {
        if (EqualsIgnoreCase(key, name)) {
            value = text;
            return 0;
        }
    }
    return -1;
}

int CHttpRequest::GetIntParam(const std::string& name, int& number) const {
    std::string text;
    if (GetParam(name, text) != 0) {
        return -1;
    }
    number = std::atoi(text.c_str());
    return 0;
}

int CHttpRequest::Parse(const std::string& message) {
    Reset();
    headers.clear();
    MessageParts parts;
    if (!SplitMessage(message, parts)) {
        return -1;
    }
    std::string_view line = parts.startLine;
    std::string_view block = parts.headerBlock;
    body = std::string(parts.body);

    size_t space = 0;
    std::string_view word;
    if (!NextWord(line, space, word)) {
        return -1;
    }
    method = std::string(word);
    if (method != "GET" && method != "POST") {
        return -1;
    }
    if (method == "POST") {
        paramText = body;
    }

    std::string_view rawTarget;
    if (!NextWord(line, space, rawTarget)) {
        return -1;
    }
    target = std::string(rawTarget);
    std::string_view rawPath = rawTarget;
    std::string queryText;
    size_t question = rawTarget.find('?');
    if (question != std::string_view::npos) {
        rawPath = rawTarget.substr(0, question);
        std::string_view query = rawTarget.substr(question + 1);
        queryText = std::string(query.substr(0, query.find('#')));
        if (method == "GET") {
            paramText = queryText;
        }
    }
    path = PercentDecode(rawPath, PercentStyle::kRequestPath);

    size_t pos = line.find_first_not_of(' ', space);
    if (pos == std::string_view::npos) {
        return -1;
    }
    size_t end = line.find(' ', pos);
    version = std::string(line.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        return -1;
    }

    if (ParseHeaderBlock(block, headers) != 0) {
        return -1;
    }

    DecodeParams(paramText);
    if (method == "POST" && !queryText.empty()) {
        // Pages post a raw body (an exam's answers) and name the method and
        // the callback in the query: take from the query what the body does
        // not give, so a form body still wins.
        ParamMap fromBody;
        fromBody.swap(params);
        DecodeUrlEncoded(queryText);
        for (auto& [name, value] : fromBody) {
            AddParam(name, value);
        }
    }
    return 0;
}

int CHttpRequest::DecodeParams(const std::string& text) {
    if (!text.empty() && text[0] == '-') {
        return DecodeMultipart(text);
    }
    return DecodeUrlEncoded(text);
}

int CHttpRequest::DecodeUrlEncoded(const std::string& text) {
    ForEachField(text, '&', [this](std::string_view piece) {
        std::string_view fields[2];
        int count = 0;
        ForEachField(piece, '=', [&](std::string_view field) {
            if (count < 2) {
                fields[count] = field;
            }
            ++count;
        });
        if (count >= 2) {
            AddParam(std::string(fields[0]), PercentDecode(fields[1], PercentStyle::kFormValue));
        } else if (count == 1 && piece.find('=') != std::string_view::npos) {
            AddParam(std::string(fields[0]), std::string());
        }
    });
    return 0;
}

int CHttpRequest::DecodeMultipart(const std::string& text) {
    static constexpr size_t kMaxNameLength = 99;
    static constexpr std::string_view kNameMarker = "name=\"";

    size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string::npos) {
        return -1;
    }
    const std::string delimiter = text.substr(0, lineEnd);
    size_t pos = lineEnd + 2;
    for (;;) {
        size_t next = text.find(delimiter, pos);
        if (next == std::string::npos) {
            return 0;
        }
        // The CR LF in front of a delimiter is not part of the value.
        size_t partEnd = next >= pos + 2 ? next - 2 : pos;
        std::string_view part = std::string_view(text).substr(pos, partEnd - pos);

        size_t marker = part.find(kNameMarker);
        if (marker == std::string_view::npos) {
            return -1;
        }
        size_t nameStart = marker + kNameMarker.size();
        size_t nameEnd = part.find('"', nameStart);
        if (nameEnd == std::string_view::npos || nameEnd >= part.size() - 1) {
            nameEnd = part.empty() ? nameStart : part.size() - 1;
        }
        if (nameEnd < nameStart) {
            nameEnd = nameStart;
        }
        if (nameEnd - nameStart > kMaxNameLength) {
            nameEnd = nameStart + kMaxNameLength;
        }
        std::string name(part.substr(nameStart, nameEnd - nameStart));

        size_t valueStart = part.find("\r\n\r\n");
        if (valueStart == std::string_view::npos) {
            return -1;
        }
        AddParam(name, std::string(part.substr(valueStart + 4)));
        pos = next + delimiter.size() + 2;
        if (pos > text.size()) {
            return 0;
        }
    }
}

int CHttpRequest::Receive(SOCKET socket) {
    return ReceiveFrom(socket) == ReceiveStatus::kOk ? 0 : -1;
}

ReceiveStatus CHttpRequest::ReceiveFrom(SOCKET socket) {
    Reset();
    if (!SetSocketBlocking(socket, false)) {
        return ReceiveStatus::kSocketError;
    }
    const long long start = NowMs();
    RequestFramer framer(kMaxHeaderBlock, kMaxBody);
    char chunk[kReceiveChunk];
    while (framer.Current() == RequestFramer::State::kIncomplete) {
        long long elapsed = NowMs() - start;
        if (elapsed > kReceiveLimitMs) {
            return ReceiveStatus::kTimedOut;
        }
        // Wait for bytes instead of polling on a timer: a complete request is
        // answered as soon as its last byte arrives.
        int ready = WaitForSocket(socket, POLLIN, static_cast<int>(kReceiveLimitMs + 1 - elapsed));
        if (ready < 0) {
            return ReceiveStatus::kSocketError;
        }
        if (ready == 0) {
            continue;
        }
        ssize_t got = recv(socket, chunk, sizeof(chunk), 0);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return ReceiveStatus::kSocketError;
        }
        if (got == 0) {
            return ReceiveStatus::kPeerClosed;  // before the request was complete
        }
        framer.Feed(std::string_view(chunk, static_cast<size_t>(got)));
    }
    switch (framer.Current()) {
        case RequestFramer::State::kBadMethod:
            return ReceiveStatus::kBadMethod;
        case RequestFramer::State::kHeaderTooLarge:
        case RequestFramer::State::kBodyTooLarge:
            return ReceiveStatus::kTooLarge;
        default:
            break;
    }
    return Parse(framer.Bytes()) == 0 ? ReceiveStatus::kOk : ReceiveStatus::kUnparsable;
}

void CHttpRequest::SetUrl(const std::string& url) {
    std::string text = TrimHttp(url);
    if (text.empty()) {
        text = "/";
    }
    if (text[0] != '/' && !(text.size() >= 7 && EqualsIgnoreCase(text.substr(0, 7), "http://"))) {
        text.insert(0, "/");
    }
    // Blanks left inside would split the request line.
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\t' || c == '\r' || c == '\n' || c == ' ') {
            escaped += "%20";
        } else {
            escaped += c;
        }
    }
    path = escaped;
}

void CHttpRequest::SetHost(const std::string& name, int number) {
    static constexpr int kHighestPort = 65535;
    host = name;
    port = (number <= 0 || number > kHighestPort) ? kDefaultHttpPort : number;
    SetHeader("Host", port == kDefaultHttpPort ? host : host + ":" + std::to_string(port));
}

int CHttpRequest::Serialize(std::string& out) const {
    out.clear();
    if (method != "GET") {
        return -1;
    }
    std::string query;
    for (const auto& [name, value] : params) {
        if (!query.empty()) {
            query += '&';
        }
        query += name;
        query += '=';
        query += UrlEncodeQuery(value, QuerySpace::kPlus);
    }
    out += "GET ";
    out += path.empty() ? "/" : path;
    if (!query.empty()) {
        out += '?';
        out += query;
    }
    out += ' ';
    out += version;
    out += "\r\n";
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

int CHttpRequest::Send(SOCKET socket, int timeoutMs) const {
    std::string bytes;
    Serialize(bytes);
    if (bytes.empty()) {
        return 0;
    }
    if (!SetSocketBlocking(socket, false)) {
        return -1;
    }
    const long long start = SteadyNowMs();
    size_t sent = 0;
    while (sent < bytes.size()) {
        int left = -1;  // no limit
        if (timeoutMs > 0) {
            long long remaining = timeoutMs - (SteadyNowMs() - start);
            if (remaining <= 0) {
                return -1;
            }
            left = static_cast<int>(remaining);
        }
        // MSG_NOSIGNAL: a peer that went away must not end the whole program.
        ssize_t wrote = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (wrote > 0) {
            sent += static_cast<size_t>(wrote);
            continue;
        }
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            // Sleep until the peer has made room, not on a timer.
            if (WaitForSocket(socket, POLLOUT, left) < 0) {
                return -1;
            }
            continue;
        }
        return -1;
    }
    return 0;
}
