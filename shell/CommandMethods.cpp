#include "shell/CommandMethods.h"

#include <QCoreApplication>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/ClientWork.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "exam/window/ExamWnd.h"
#include "foundation/Encoding.h"
#include "foundation/UrlUtil.h"
#include "platform/sysinfo/SystemQueries.h"
#include "shell/MainFrame.h"
#include "shell/TabPageSet.h"
#include "ui/MessageHub.h"
#include "ui/WindowMessages.h"
#include "update/AutoUpdateWnd.h"
#include "update/UpdateChecker.h"

namespace {

constexpr const char* kSavedParam = "param";
constexpr const char* kUpdateServerParam = "webAddr";
constexpr int kAdministratorLevel = 2;  // AccountPrivilegeLevel

// The exam page's save result: posted to the exam window, which hands "Y"
// (param 1) or "N" to the page; no exam window, no effect. The answer has an
// empty body.
int FileCache(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    int saved = 0;
    if (request.GetIntParam(kSavedParam, saved) != 0) {
        saved = 0;
    }
    // The window object lives on the GUI thread; look it up there.
    MessageHub::PostCall([saved] {
        if (CExamWnd* window = ExistingExamWindow()) {
            MessageHub::Post(window, WM_CLIENT_SAVE_ANSWER, 0, static_cast<LPARAM>(saved));
        }
    });
    response.SetBody("");
    return 0;
}

// Asks the update server given by the page; with an update to offer, the
// page hears "true" at once and the update window follows. Plain text, no JSONP.
int CheckUpdate(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    std::string address;
    request.GetParam(kUpdateServerParam, address);
    const std::u16string server = AnsiToWide(PercentDecode(address));
    if (!ProcessUpdateChecker().CheckForUpdate(server)) {
        response.SetBody("false");
        return 0;
    }
    response.SetBody("true");
    if (work) {
        work->SendAndClose(response);
    }
    MessageHub::PostCall([] {
        CMainFrame* frame = CMainFrame::Instance();
        if (frame && !HeldBackByLockedExam("update window")) {
            frame->HandleMessage(WM_SHOW_AUTO_UPDATE, 0, 0);
        }
    });
    return 0;
}

// Ends the client. The caller (the session service, a page) hears the
// answer before anything goes; then the tray icon and the main window
// disappear and the event loop ends, and the exit path closes any Office
// container and hands in what is pending.
int ExitProcess(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    response.SetBody(SuccessAnswer(ReadCallbackName(request)));
    if (work) {
        work->SendAndClose(response);
    }
    MessageHub::PostCall([] {
        if (CMainFrame* frame = CMainFrame::Instance()) {
            frame->HideForExit();
        }
        // exit, not quit: quit asks the windows first, and the main frame refuses to close.
        QCoreApplication::exit(0);
    });
    return 0;
}

// Each listed site joins the trusted zone, on this pool thread; one that
// cannot be registered does not change the answer.
int SetTrustDomains(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    TrustDomainArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return -1;
    }
    for (const std::string& url : args.urls) {
        CTabPageSet::AddTrustedSite(url);
    }
    response.SetBody(SuccessAnswer(callback));
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

}  // namespace

void RegisterCommandMethods() {
    SetChannelHandler("ExitProcess", &ExitProcess);
    SetChannelHandler("FileCache", &FileCache);
    SetChannelHandler("CheckUpdate", &CheckUpdate);
    SetChannelHandler("SetTrustDomains", &SetTrustDomains);
    SetChannelHandler("GetWindowsUser", &GetWindowsUser);
}
