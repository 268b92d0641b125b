#include "http/HttpResponse.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "foundation/TextUtil.h"

namespace {

enum class ChunkState { Complete, Incomplete, Refused };

// Decodes chunks of text starting at pos, appending their data to out. pos is
// left at the first chunk that has not fully arrived, so a receiver can go on
// from there when more bytes come instead of decoding everything again.
// A chunk larger than maxData is refused outright.
ChunkState DecodeChunksFrom(std::string_view text, size_t& pos, std::string& out,
                            unsigned long long maxData) {
    for (;;) {
        size_t at = pos;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
            ++at;
        }
        unsigned long long size = 0;
        // Reading stops at the first non-hexadecimal byte: extensions are ignored.
        for (int digit; at < text.size() && (digit = HexDigitValue(text[at])) >= 0; ++at) {
            size = size * 16 + static_cast<unsigned>(digit);
            if (size > maxData) {
                return ChunkState::Refused;
            }
        }
        // A size line (with its extensions) has a sane length; an endless one
        // would otherwise be searched again with every piece that arrives.
        static constexpr size_t kMaxSizeLine = 4096;
        size_t lineEnd = text.find("\r\n", at);
        if (lineEnd == std::string_view::npos) {
            return text.size() - pos > kMaxSizeLine ? ChunkState::Refused : ChunkState::Incomplete;
        }
        if (lineEnd - pos > kMaxSizeLine) {
            return ChunkState::Refused;
        }
        if (size == 0) {
            return ChunkState::Complete;
        }
        size_t dataStart = lineEnd + 2;
        if (text.size() - dataStart < size + 2) {
            return ChunkState::Incomplete;
        }
        if (out.size() + size > maxData) {
            return ChunkState::Refused;
        }
        out.append(text.substr(dataStart, size));
        pos = dataStart + size + 2;
    }
}

bool IsStatusDigits(const std::string& text) {
    return text.size() == 3 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

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
        if (wrote < 0 &&
            (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT || errno == EINTR)) {
            if (errno != EINTR && ++stalled >= kMaxStalledSends) {
                return -1;
            }
            continue;
        }
        return -1;
    }
    return 0;
}

int FindRawHeader(const std::string& raw, const std::string& name, std::string& value) {
    value.clear();
    size_t begin = name.find_first_not_of(' ');
    size_t end = name.find_last_not_of(" :");
    if (begin == std::string::npos || end == std::string::npos || end < begin) {
        return -1;
    }
    const std::string needle = "\r\n" + name.substr(begin, end + 1 - begin) + ":";
    size_t found = raw.find(needle);
    if (found == std::string::npos) {
        return -1;
    }
    size_t start = raw.find_first_not_of(' ', found + needle.size());
    if (start == std::string::npos) {
        return -1;
    }
    size_t stop = raw.find("\r\n", start);
    if (stop == std::string::npos) {
        return -1;
    }
    value = raw.substr(start, stop - start);
    return 0;
}

int DecodeChunked(const std::string& text, std::string& out) {
    out.clear();
    size_t pos = 0;
    ChunkState state = DecodeChunksFrom(text, pos, out, std::string().max_size());
    return state == ChunkState::Complete ? 0 : -1;
}

void CHttpResponse::Clear() {
    status.clear();
    reason.clear();
    version.clear();
    headers.clear();
    body.clear();
}

int CHttpResponse::Parse(const std::string& text) {
    Clear();
    MessageParts parts;
    if (!SplitMessage(text, parts)) {
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
    version = std::string(word);
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        return -1;
    }
    // A status line needs the space after the code.
    if (!NextWord(line, space, word)) {
        return -1;
    }
    status = std::string(word);
    static constexpr int kLowestStatus = 200;
    static constexpr int kHighestStatus = 600;
    if (!IsStatusDigits(status)) {
        return -1;
    }
    int code = std::atoi(status.c_str());
    if (code < kLowestStatus || code > kHighestStatus) {
        return -1;
    }
    size_t reasonStart = line.find_first_not_of(' ', space);
    if (reasonStart != std::string_view::npos) {
        reason = std::string(line.substr(reasonStart));
    }
    return ParseHeaderBlock(block, headers);
}

namespace {

// One read of at most want bytes before the deadline: the count read (above
// 0), or -1 on a time-out, a socket error or a closed peer, all of which
// leave the response incomplete.
ssize_t ReadBefore(SOCKET socket, char* into, size_t want, long long deadline) {
    for (;;) {
        long long remaining = deadline - SteadyNowMs();
        if (remaining <= 0) {
            return -1;
        }
        ssize_t got = recv(socket, into, want, 0);
        if (got > 0) {
            return got;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return -1;
        }
        if (WaitForSocket(socket, POLLIN, static_cast<int>(remaining)) < 0) {
            return -1;
        }
    }
}

// The status line and header lines up to the blank line, read byte by byte
// so that no body byte is taken with them.
bool ReceiveHeaderBlock(SOCKET socket, long long deadline, std::string& header) {
    constexpr std::string_view kEnd = "\r\n\r\n";
    constexpr std::string_view kVersionStart = "HTTP/";
    char byte;
    for (;;) {
        if (ReadBefore(socket, &byte, 1, deadline) < 0) {
            return false;
        }
        header += byte;
        if (header.size() == kVersionStart.size() && header != kVersionStart) {
            return false;
        }
        if (header.size() >= kEnd.size() && header.ends_with(kEnd)) {
            return true;
        }
        if (header.size() > CHttpResponse::kMaxHeaderBlock) {
            return false;
        }
    }
}

// A body of the announced length.
bool ReceiveSizedBody(SOCKET socket, long long deadline, long long length, std::string& body) {
    char piece[CHttpResponse::kReceiveChunk];
    while (static_cast<long long>(body.size()) < length) {
        size_t want = static_cast<size_t>(
            std::min<long long>(CHttpResponse::kReceiveChunk, length - static_cast<long long>(body.size())));
        ssize_t got = ReadBefore(socket, piece, want, deadline);
        if (got < 0) {
            return false;
        }
        body.append(piece, static_cast<size_t>(got));
    }
    return true;
}

// A chunked body, decoded as it arrives, up to the zero-size chunk.
bool ReceiveChunkedBody(SOCKET socket, long long deadline, std::string& decoded) {
    char piece[CHttpResponse::kReceiveChunk];
    std::string wire;
    size_t chunkPos = 0;
    for (;;) {
        ssize_t got = ReadBefore(socket, piece, sizeof(piece), deadline);
        if (got < 0) {
            return false;
        }
        wire.append(piece, static_cast<size_t>(got));
        ChunkState state = DecodeChunksFrom(wire, chunkPos, decoded, CHttpResponse::kMaxBody);
        if (state == ChunkState::Complete) {
            return true;
        }
        if (state == ChunkState::Refused ||
            static_cast<long long>(wire.size()) > 2 * CHttpResponse::kMaxBody) {
            return false;
        }
    }
}

}  // namespace

int CHttpResponse::Receive(SOCKET socket, int timeoutMs) {
    Clear();
    rawHeader.clear();
    if (!SetSocketBlocking(socket, false)) {
        return -1;
    }
    const long long deadline = SteadyNowMs() + timeoutMs;
    if (!ReceiveHeaderBlock(socket, deadline, rawHeader)) {
        return -1;
    }
    std::string value;
    std::string received;
    if (FindRawHeader(rawHeader, "Content-Length", value) == 0) {
        const long long length = std::atoll(value.c_str());
        if (length > kMaxBody) {
            return -1;
        }
        if (length > 0 && !ReceiveSizedBody(socket, deadline, length, received)) {
            return -1;
        }
    } else if (FindRawHeader(rawHeader, "Transfer-Encoding", value) == 0 &&
               EqualsIgnoreCase(value, "chunked")) {
        if (!ReceiveChunkedBody(socket, deadline, received)) {
            return -1;
        }
    }
    return Parse(rawHeader + received);
}
