#include "channel/ClientWork.h"

#include "channel/Dispatch.h"
#include "foundation/ClientLog.h"
#include "http/HttpRequest.h"

void CClientWork::Execute(void* param, void* overlapped) {
    CHttpRequest request;
    if (request.Receive(m_socket) != 0) {
        LOG_INFO("recv msg time out.");
        return;
    }
    CHttpResponse response;
    response.SetHeader("Content-Type", "text/xml");
    DispatchRequest(response, this, request);
    if (m_socket != kInvalidSocket) {
        response.Send(m_socket);
    }
}

void CClientWork::Finish(void* param) {
    CloseSocket(m_socket);
    m_socket = kInvalidSocket;
    delete this;
}

int CClientWork::SendAndClose(CHttpResponse& response) {
    if (m_socket == kInvalidSocket) {
        return -1;
    }
    int result = response.Send(m_socket);
    CloseSocket(m_socket);
    m_socket = kInvalidSocket;
    return result;
}
