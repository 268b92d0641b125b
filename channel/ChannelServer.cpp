#include "channel/ChannelServer.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "channel/ClientWork.h"
#include "foundation/ClientLog.h"

namespace {

// Out of descriptors or memory: a passing state, not a broken socket. Give
// the handlers a moment to close connections, then accept again.
constexpr int kResourceBackoffMs = 100;

bool IsResourceShortage(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

CChannelSever& CChannelSever::Instance() {
    static CChannelSever server;
    return server;
}

CChannelSever::~CChannelSever() {
    Shutdown();
}

uint32_t CChannelSever::StartChannel(const std::string& ip, int port) {
    uint32_t result = Start();
    if (result != 0) {
        return result;
    }
    m_stopping = false;
    m_listenSocket = CreateTcpSocket();
    if (m_listenSocket == kInvalidSocket || ListenTcp(m_listenSocket, ip, port) != 0) {
        CloseSocket(m_listenSocket);
        m_listenSocket = kInvalidSocket;
        LOG_ERROR("ChannelServer Listen fail.");
        return 0;
    }
    m_listening = true;
    LOG_INFO("ChannelServer listen on %s:%d.", ip.c_str(), port);
    m_listenThread = std::thread(&CChannelSever::ListenLoop, this);
    return 0;
}

void CChannelSever::ListenLoop() {
    for (;;) {
        std::string peerIp;
        int peerPort = 0;
        SOCKET client = AcceptTcp(m_listenSocket, peerIp, peerPort);
        if (client == kInvalidSocket) {
            if (!m_stopping && IsResourceShortage(errno)) {
                // Out of descriptors: give the pool time to close some.
                std::this_thread::sleep_for(std::chrono::milliseconds(kResourceBackoffMs));
                continue;
            }
            CloseSocket(m_listenSocket);
            m_listenSocket = kInvalidSocket;
            m_listening = false;
            LOG_ERROR("ChannelServer stop.");
            return;
        }
        auto* work = new CClientWork(client);
        if (!Post(work)) {
            // The pool is gone (we are shutting down): the item is still ours.
            work->Finish(nullptr);
        }
    }
}

void CChannelSever::Shutdown() {
    m_stopping = true;
    if (m_listenThread.joinable()) {
        // Wakes the blocked accept, which then fails and ends the loop.
        ShutdownSocket(m_listenSocket);
        m_listenThread.join();
    }
    Stop();
}
