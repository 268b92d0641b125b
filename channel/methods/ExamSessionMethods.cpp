#include "channel/methods/ExamSessionMethods.h"

#include <cstdlib>
#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/RequestEnvelope.h"
#include "channel/methods/ClientRequests.h"
#include "channel/methods/ExamStatus.h"
#include "channel/methods/MethodArguments.h"

namespace {

constexpr int kPaperLoadingExamOpen = 3;

}  // namespace

namespace methods {

int StartExam(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    ExamStartArgs args;
    std::string callback;
    if (!ReadMethodArguments(request, response, args, callback)) {
        return -1;
    }
    if (Perform(OpenExamRequest{args}) != 0) {
        response.SetBody(FailureAnswer(kMsgStartExamFail, callback));
        return -1;
    }
    // A paper-loading window still shown learns that the exam is open.
    Perform(PaperStatusRequest{kPaperLoadingExamOpen});
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

// The answer leaves only once the window is closed.
int StopExam(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    const bool ended = Perform(EndExamRequest{}) == 0;
    response.SetBody(ended ? SuccessAnswer(callback) : FailureAnswer(kMsgEndExamFail, callback));
    return ended ? 0 : -1;
}

// A read of the state: no wait for the GUI thread.
int CheckExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    response.SetBody(ExamStatusAnswer(examStatus.load(), ReadCallbackName(request)));
    return 0;
}

int ClearExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
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
    Perform(ExamCameraStatusRequest{std::atoi(text.c_str())});
    response.SetBody(std::string());
    return 0;
}

}  // namespace methods
