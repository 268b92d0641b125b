#include "channel/methods/CommandMethods.h"

#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/ClientWork.h"
#include "channel/RequestEnvelope.h"
#include "channel/methods/ClientRequests.h"
#include "channel/methods/MethodArguments.h"
#include "foundation/Encoding.h"
#include "foundation/UrlUtil.h"
#include "platform/sysinfo/SystemQueries.h"

namespace {

constexpr int kAdministratorLevel = 2;  // AccountPrivilegeLevel

}  // namespace

namespace methods {

// Ends the client. The caller (the session service, a page) hears the
// answer before anything goes; then the tray icon and the main window
// disappear and the event loop ends, and the exit path closes any Office
// container and hands in what is pending.
int ExitProcess(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    response.SetBody(SuccessAnswer(ReadCallbackName(request)));
    if (work) {
        work->SendAndClose(response);
    }
    Perform(ExitClientRequest{});
    return 0;
}

// Each listed site joins the trusted zone, on this pool thread; one that
// cannot be registered does not change the answer.
int SetTrustDomains(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    TrustDomainArgs args;
    std::string callback;
    if (!ReadMethodArguments(request, response, args, callback)) {
        return -1;
    }
    for (const std::string& url : args.urls) {
        Perform(AddTrustedSiteRequest{url});
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

// The exam page's save result, handed to the exam page by the exam window;
// no exam window, no effect. The answer has an empty body.
int FileCache(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    int saved = 0;
    if (request.GetIntParam(kParamFileCache, saved) != 0) {
        saved = 0;
    }
    Perform(ExamSaveResultRequest{saved});
    response.SetBody("");
    return 0;
}

// Asks the update server given by the page; with an update to offer, the
// page hears "true" at once and the update window follows. Plain text, no JSONP.
int CheckUpdate(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    std::string address;
    request.GetParam(kParamWebAddr, address);
    CheckUpdateRequest check{AnsiToWide(PercentDecode(address))};
    Perform(check);
    if (!check.offered) {
        response.SetBody("false");
        return 0;
    }
    response.SetBody("true");
    if (work) {
        work->SendAndClose(response);
    }
    Perform(ShowUpdateOfferRequest{});
    return 0;
}

// The login name for a standard user; an administrator (root, or a member of
// sudo, wheel or admin) gets an empty body. Plain text, no JSONP.
int GetWindowsUser(CHttpResponse& response, CHttpRequest&, CClientWork*) {
    const std::string user = CurrentUserName();
    response.SetBody(AccountPrivilegeLevel(user) == kAdministratorLevel ? std::string()
                                                                        : Utf8ToAnsi(user));
    return 0;
}

}  // namespace methods
