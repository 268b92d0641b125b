#pragma once

#include <string>

// A plain TCP client for feeding a server bytes the way a misbehaving peer
// would: partial requests, silence, early close.
class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(int port, const std::string& host = "127.0.0.1");
    bool Send(const std::string& bytes);
    // Everything the server sends until it closes the connection, or until
    // timeoutMs pass (then timedOut is set).
    std::string ReadUntilClosed(int timeoutMs, bool* timedOut = nullptr);
    void Close();
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};
