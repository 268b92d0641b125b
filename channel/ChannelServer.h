#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "foundation/LocalPorts.h"

#include "http/Socket.h"
#include "http/ThreadPool.h"

// The local command channel: a listen thread that accepts connections and
// hands each one, as a CClientWork, to the ten pool threads.
class CChannelSever : public CThreadPool {
public:
    static constexpr int kPort = kChannelPort;
    // Every caller (the pages in the learner's browser, the session service)
    // is on this machine; listening on other interfaces would let anyone on
    // the exam-room network end or start a learner's exam.
    static constexpr const char* kListenAddress = "127.0.0.1";

    static CChannelSever& Instance();

    CChannelSever() = default;
    ~CChannelSever() override;

    // Starts the pool, then listens and starts the accept loop. Returns the
    // pool's code (0 on success). A port that cannot be listened on is logged
    // and leaves the client running without a channel (Listening() false).
    uint32_t StartChannel(const std::string& ip = kListenAddress, int port = kPort);
    bool Listening() const { return m_listening; }
    // Stops accepting, waits for the listen thread and stops the pool.
    void Shutdown();

private:
    void ListenLoop();

    SOCKET m_listenSocket = kInvalidSocket;
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_stopping{false};
    std::thread m_listenThread;
};
