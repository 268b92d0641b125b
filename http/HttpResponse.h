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
};
