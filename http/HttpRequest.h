#pragma once

#include <string>

#include "foundation/UrlUtil.h"

#include "http/HttpMessage.h"
#include "http/Socket.h"

// Why receiving a request ended. Everything but kOk leaves the request
// unanswered; the channel logs one line for all of them alike.
enum class ReceiveStatus {
    kOk,
    kTimedOut,     // not complete within kReceiveLimitMs
    kPeerClosed,   // the peer closed before the request was complete
    kSocketError,
    kBadMethod,    // neither GET, POST nor HEAD
    kTooLarge,     // header block or body beyond the limits
    kUnparsable,   // complete, but not a request
};

// One HTTP/1.x request: received and parsed by the channel, or built and sent
// by the loopback client.
class CHttpRequest {
public:
    // Receive gives up on a request that is not complete after this long.
    static constexpr long kReceiveLimitMs = 9999;
    static constexpr size_t kReceiveChunk = 10240;
    // One request may not hold unbounded memory. The body limit leaves room for
    // whole exam answers, which arrive as request bodies.
    static constexpr size_t kMaxHeaderBlock = 64 * 1024;
    static constexpr size_t kMaxBody = 32 * 1024 * 1024;

    CHttpRequest();

    std::string method;
    std::string path;
    std::string target;
    HeaderMap headers;
    ParamMap params;
    std::string paramText;
    std::string body;
    std::string version;
    std::string host;
    int port = kDefaultHttpPort;

    void Reset();

    int SetHeader(const std::string& name, const std::string& value);
    int SetIntHeader(const std::string& name, int number);
    int GetHeader(const std::string& name, std::string& value) const;

    int AddParam(const std::string& name, const std::string& value);
    int GetParam(const std::string& name, std::string& value) const;
    int GetIntParam(const std::string& name, int& number) const;
    void GetRequestUri(std::string& text) const { text = target; }

    int Parse(const std::string& message);
    // 0 for a complete request, else -1 (ReceiveFrom tells why).
    int Receive(SOCKET socket);
    ReceiveStatus ReceiveFrom(SOCKET socket);
    int DecodeParams(const std::string& text);

    // Client direction: a GET whose parameters travel in the query.
    void SetUrl(const std::string& url);
    void SetHost(const std::string& name, int number);
    // -1 (and an empty text) unless the method is "GET".
    int Serialize(std::string& out) const;
    // Writes the whole request; -1 once timeoutMs (when above 0) have passed
    // or on a socket error. A request that does not serialise writes nothing.
    int Send(SOCKET socket, int timeoutMs) const;

private:
    int DecodeMultipart(const std::string& text);
    int DecodeUrlEncoded(const std::string& text);
};

