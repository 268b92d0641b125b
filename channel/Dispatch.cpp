#include "channel/Dispatch.h"

#include "channel/Answer.h"
#include "channel/ChannelAnswers.h"
#include "channel/RequestEnvelope.h"
#include "foundation/ClientLog.h"

namespace {

std::array<ChannelHandler, kChannelRoutes.size()>& Handlers() {
    static std::array<ChannelHandler, kChannelRoutes.size()> handlers;
    return handlers;
}

}  // namespace

bool SetChannelHandler(const std::string& method, ChannelHandler handler) {
    for (size_t i = 0; i < kChannelRoutes.size(); ++i) {
        if (method == kChannelRoutes[i].method) {
            Handlers()[i] = std::move(handler);
            return true;
        }
    }
    return false;
}

bool HasChannelHandler(const std::string& method) {
    for (size_t i = 0; i < kChannelRoutes.size(); ++i) {
        if (method == kChannelRoutes[i].method) {
            return static_cast<bool>(Handlers()[i]);
        }
    }
    return false;
}

void ClearChannelHandlers() {
    for (auto& handler : Handlers()) {
        handler = nullptr;
    }
}

int DispatchRequest(CHttpResponse& response, CClientWork* work, CHttpRequest& request) {
    // Pages encode the path once more than the parser undoes, so decode again.
    // Backslashes and letter case are the pages' business, not ours: both are
    // accepted. Matching is done on the bytes: every route is ASCII, so a
    // path or name with other characters can never match anyway.
    std::string path = PercentDecode(request.path);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::string method;
    request.GetParam(kParamMethodName, method);
    std::string callback = ReadCallbackName(request);

    std::string uri;
    request.GetRequestUri(uri);
    LOG_INFO("Request Path:%s\n", uri.c_str());

    for (size_t i = 0; i < kChannelRoutes.size(); ++i) {
        const ChannelRoute& route = kChannelRoutes[i];
        if (EqualsIgnoreCase(path, route.path) && EqualsIgnoreCase(method, route.method)) {
            const ChannelHandler& handler = Handlers()[i];
            if (handler) {
                return handler(response, request, work);
            }
            break;
        }
    }
    response.SetBody(BuildAnswer(-1, false, kMsgUnknownRequest, kClientVersion, callback));
    return -1;
}
