#pragma once

#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "http/ThreadPool.h"

// One accepted connection of the channel: receive one request, route it, send
// the answer. Runs on a pool thread and deletes itself in Finish.
class CClientWork : public Worker {
public:
    explicit CClientWork(SOCKET socket) : m_socket(socket) {}

    bool Prepare(void* param) override { return true; }
    void Execute(void* param, void* overlapped) override;
    void Finish(void* param) override;

    // For handlers that must answer before their work is done (the program
    // exit, the update prompt): sends the answer now and closes the
    // connection; Execute then sends nothing more.
    int SendAndClose(CHttpResponse& response);

    SOCKET Socket() const { return m_socket; }

private:
    SOCKET m_socket;
};
