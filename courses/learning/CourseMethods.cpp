#include "courses/learning/CourseMethods.h"

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "courses/learning/LearningWnd.h"
#include "ui/MessageHub.h"

namespace {

std::function<WindowImplBaseNew*()> g_mainFrame;

// The learning window opens through the main frame, on the GUI thread; the
// pool thread waits for its answer.
int StartLearning(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    LearningArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return -1;
    }
    WindowImplBaseNew* frame = g_mainFrame ? MessageHub::Call(g_mainFrame) : nullptr;
    const LRESULT result =
        frame ? MessageHub::Send(frame, WM_START_LEARNING, 0, reinterpret_cast<LPARAM>(&args)) : -1;
    if (result != 0) {
        response.SetBody(FailureAnswer(kMsgStartLearningFail, callback));
        return -1;
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

// Closes the learning window if there is one; ok either way.
int StopLearning(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    MessageHub::Call([] {
        CLearningWnd* window = LearningWindow();
        if (window->IsCreated()) {
            window->Close();
        }
    });
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

}  // namespace

void RegisterCourseMethods(std::function<WindowImplBaseNew*()> mainFrame) {
    g_mainFrame = std::move(mainFrame);
    SetChannelHandler("StartLearning", &StartLearning);
    SetChannelHandler("StopLearning", &StopLearning);
}

long HandleStartLearningMessage(long lParam) {
    const auto* args = reinterpret_cast<const LearningArgs*>(lParam);
    if (!args) {
        return -1;
    }
    return LearningWindow()->Open(args->domainUrl) ? 0 : -1;
}
