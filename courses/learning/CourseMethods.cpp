#include "courses/learning/CourseMethods.h"

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/ClientWork.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "courses/learning/LearningWnd.h"
#include "courses/view/CourseViewWnd.h"
#include "foundation/ClientLog.h"
#include "ui/MessageHub.h"

namespace {

std::function<WindowImplBaseNew*()> g_mainFrame;

LRESULT SendToMainFrame(UINT message, LPARAM args) {
    WindowImplBaseNew* frame = g_mainFrame ? MessageHub::Call(g_mainFrame) : nullptr;
    return frame ? MessageHub::Send(frame, message, 0, args) : -1;
}

// The window shows on the GUI thread; then the page hears "ok" and this pool
// thread downloads the document and starts the container, which may take
// up to two minutes. A failed download is told to the learner in the window.
int StartViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    const std::string callback = ReadCallbackName(request);
    CourseViewArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        LOG_ERROR("exam json error");
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return -1;
    }
    if (SendToMainFrame(WM_START_VIEW_COURSE, reinterpret_cast<LPARAM>(&args)) != 0) {
        response.SetBody(FailureAnswer(kMsgStartCourseViewFail, callback));
        return -1;
    }
    response.SetBody(SuccessAnswer(callback));
    if (work) {
        work->SendAndClose(response);
    }
    return CCourseViewWnd::OpenDocument() ? 0 : -1;
}

int CheckViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const bool open = MessageHub::Call([] { return CourseViewWindow()->IsCreated(); });
    response.SetBody(LearningStatusAnswer(open, ReadCallbackName(request)));
    return 0;
}

// The learning window opens through the main frame, on the GUI thread; the
// pool thread waits for its answer.
int StartLearning(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    LearningArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return -1;
    }
    if (SendToMainFrame(WM_START_LEARNING, reinterpret_cast<LPARAM>(&args)) != 0) {
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
    SetChannelHandler("StartViewCourse", &StartViewCourse);
    SetChannelHandler("CheckViewCourse", &CheckViewCourse);
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
