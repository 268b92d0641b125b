#pragma once

#include <string>

#include "http/HttpMessage.h"
#include "http/Socket.h"

class CHttpResponse {
public:
    static constexpr int kSendTimeoutMs = 1000;
    // A peer that stops reading holds a pool thread for at most this many
    // send time-outs in a row.
    static constexpr int kMaxStalledSends = 10;

    CHttpResponse();

    std::string status = "200";
    std::string reason = "OK";
    std::string version = "HTTP/1.1";
    HeaderMap headers;
    std::string rawHeader;
    std::string body;

    int SetHeader(const std::string& name, const std::string& value);
    int SetIntHeader(const std::string& name, int number);
    int GetHeader(const std::string& name, std::string& value) const;

    void SetBody(const std::string& text);
    int Serialize(std::string& out);
    int Send(SOCKET socket);

    // Client direction. Reads one response within timeoutMs (0 or less fails
    // at once): the header block byte by byte so that no body byte is taken
    // with it, then the body by Content-Length or chunked coding. A response
    // with neither ends with its header block. 0 when read and parsed.
    int Receive(SOCKET socket, int timeoutMs);
    // A status line of HTTP/1.0 or HTTP/1.1 with a status of 200 to 600
    // followed by a space, then header lines; the rest is the body.
    int Parse(const std::string& text);
    // Empties status, reason, version, headers and body; the server defaults
    // do not come back.
    void Clear();

    // Limits that keep a hostile or broken server from exhausting memory.
    static constexpr size_t kReceiveChunk = 10240;
    static constexpr size_t kMaxHeaderBlock = 64 * 1024;
    static constexpr long long kMaxBody = 128LL * 1024 * 1024;
};

// The value of a header in a raw header block ("\r\n" name ":" value
// "\r\n"), name compared case-sensitively, value without leading spaces.
// 0 with the value, -1 (and an empty value) when absent.
int FindRawHeader(const std::string& raw, const std::string& name, std::string& value);

// Decodes a chunked body: 0 with the data when the zero-size chunk has
// arrived (trailers ignored), -1 while it is incomplete.
int DecodeChunked(const std::string& text, std::string& out);
