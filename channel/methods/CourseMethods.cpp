#include "channel/methods/CourseMethods.h"

#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/ClientWork.h"
#include "channel/RequestEnvelope.h"
#include "channel/methods/ClientRequests.h"
#include "channel/methods/MethodArguments.h"

namespace methods {

// The window shows first; then the page hears "ok" and this pool thread
// downloads the document and starts the container, which may take up to two
// minutes. A failed download is told to the learner in the window.
int StartViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork* work) {
    CourseViewArgs args;
    std::string callback;
    if (!ReadMethodArguments(request, response, args, callback, "exam json error")) {
        return -1;
    }
    if (Perform(ShowCourseViewRequest{args}) != 0) {
        response.SetBody(FailureAnswer(kMsgStartCourseViewFail, callback));
        return -1;
    }
    response.SetBody(SuccessAnswer(callback));
    if (work) {
        work->SendAndClose(response);
    }
    return Perform(OpenCourseDocumentRequest{});
}

int CheckViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    CourseViewShownRequest view;
    Perform(view);
    response.SetBody(LearningStatusAnswer(view.shown, ReadCallbackName(request)));
    return 0;
}

int StartLearning(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    LearningArgs args;
    std::string callback;
    if (!ReadMethodArguments(request, response, args, callback)) {
        return -1;
    }
    if (Perform(OpenLearningRequest{args}) != 0) {
        response.SetBody(FailureAnswer(kMsgStartLearningFail, callback));
        return -1;
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

// Closes the learning window if there is one; ok either way.
int StopLearning(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    Perform(CloseLearningRequest{});
    response.SetBody(SuccessAnswer(ReadCallbackName(request)));
    return 0;
}

}  // namespace methods
