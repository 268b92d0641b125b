#include "exam/session/ExamSessionMethods.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "exam/window/ExamStatus.h"
#include "exam/window/ExamWnd.h"
#include "ui/MessageHub.h"

namespace {

constexpr int kPaperLoadingExamOpen = 3;

std::mutex g_hookLock;
PaperLoadingHook g_paperHook;
std::function<WindowImplBaseNew*()> g_mainFrame;

int StartExam(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    std::string callback = ReadCallbackName(request);
    ExamStartArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return -1;
    }
    WindowImplBaseNew* mainFrame = g_mainFrame ? MessageHub::Call(g_mainFrame) : nullptr;
    LRESULT result = mainFrame ? MessageHub::Send(mainFrame, WM_START_EXAM, 0,
                                                  reinterpret_cast<LPARAM>(&args))
                               : -1;
    if (result != 0) {
        response.SetBody(FailureAnswer(kMsgStartExamFail, callback));
        return -1;
    }
    PaperLoadingHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_paperHook;
    }
    if (hook.hasWindow && hook.setStatus) {
        MessageHub::Call([&hook] {
            if (hook.hasWindow()) {
                hook.setStatus(kPaperLoadingExamOpen);
            }
        });
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

int StopExam(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    std::string callback = ReadCallbackName(request);
    // On the GUI thread; the answer leaves only once the window is closed.
    bool ended = MessageHub::Call([] {
        CExamWnd* window = ExistingExamWindow();
        return window ? window->EndExam() : true;
    });
    response.SetBody(ended ? SuccessAnswer(callback) : FailureAnswer(kMsgEndExamFail, callback));
    return ended ? 0 : -1;
}

// A read of the state: no wait for the GUI thread.
int CheckExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    response.SetBody(ExamStatusAnswer(examStatus.load(), ReadCallbackName(request)));
    return 0;
}

int ClearExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    std::string callback = ReadCallbackName(request);
    int expected = examStatus.load();
    while (expected != kExamStatusRunning &&
           !examStatus.compare_exchange_weak(expected, kExamStatusNone)) {
    }
    if (expected == kExamStatusRunning) {
        response.SetBody(FailureAnswer(kMsgInTheExam, callback));
        return -1;
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

int CameraControl(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    std::string text;
    request.GetParam(kParamErrCode, text);
    int code = std::atoi(text.c_str());
    MessageHub::Call([code] {
        CExamWnd* window = ExistingExamWindow();
        return window ? window->OnCameraStatus(code) : false;
    });
    response.SetBody(std::string());
    return 0;
}

}  // namespace

void SetPaperLoadingHook(PaperLoadingHook hook) {
    std::lock_guard<std::mutex> lock(g_hookLock);
    g_paperHook = std::move(hook);
}

void RegisterExamSessionMethods(std::function<WindowImplBaseNew*()> mainFrame) {
    g_mainFrame = std::move(mainFrame);
    InstallExamExternalActions();
    SetChannelHandler("StartExam", &StartExam);
    SetChannelHandler("StopExam", &StopExam);
    SetChannelHandler("CheckExamStatus", &CheckExamStatus);
    SetChannelHandler("ClearExamStatus", &ClearExamStatus);
    SetChannelHandler("CameraControl", &CameraControl);
}
