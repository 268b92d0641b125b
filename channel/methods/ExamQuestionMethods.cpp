#include "channel/methods/ExamQuestionMethods.h"

#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/RequestEnvelope.h"
#include "channel/methods/ClientRequests.h"
#include "channel/methods/MethodArguments.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"

namespace {

constexpr int kPaperDownloading = 0;  // the paper-loading window's "downloading"
constexpr const char* kArgumentsLogLine = "exam json error";

// The exam window's X window, 0 without one.
NativeWindow ExamWindowHandle() {
    ExamWindowRequest exam;
    return Perform(exam) == 0 ? exam.window : 0;
}

// Reads the question and hands it to the question window; false (with the
// failure answer set) for arguments that are not a question.
bool OpenQuestion(CHttpResponse& response, const CHttpRequest& request, NativeWindow owner,
                  bool lookOnly, int& result) {
    ExamQuestionArgs args;
    std::string callback;
    if (!ReadMethodArguments(request, response, args, callback, kArgumentsLogLine)) {
        return false;
    }
    // Learner, grade, question and type make up the document's file name:
    // none may lead out of the question folder (any page can reach the
    // channel, and the document is downloaded to that name).
    if ((!args.userUid.empty() && !IsPlainFileName(args.userUid)) ||
        !IsPlainFileName(args.examGradeUid) || !IsPlainFileName(args.examQuestionUid) ||
        !IsPlainFileName(args.examQuestionType)) {
        LOG_ERROR("question refused: its names are no plain file names");
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
        return false;
    }
    args.ownerWindow = owner;
    args.lookOnly = lookOnly;
    result = Perform(OpenQuestionRequest{args});
    return true;
}

}  // namespace

namespace methods {

int UpdatePaperDownloadStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    response.SetBody(std::string());
    int status = 0;
    if (request.GetIntParam(kParamStatus, status) != 0) {
        return 0;  // no status given: nothing to show
    }
    if (status == kPaperDownloading) {
        Perform(ShowPaperLoadingRequest{});
    }
    // The answer waits for the change.
    Perform(PaperStatusRequest{status});
    return 0;
}

int StartExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    const NativeWindow owner = ExamWindowHandle();
    if (owner == 0) {
        LOG_ERROR("first exam windows not exist");
        response.SetBody(FailureAnswer(kMsgStartExamFirst, callback));
        return -1;
    }
    int result = -1;
    if (!OpenQuestion(response, request, owner, false, result)) {
        return -1;
    }
    if (result == 0) {
        Perform(StartQuestionRequest{false});
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

int LookExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const NativeWindow owner = ExamWindowHandle();  // may be 0
    const std::string callback = ReadCallbackName(request);
    int result = -1;
    if (!OpenQuestion(response, request, owner, true, result)) {
        return -1;
    }
    if (result != 0) {
        response.SetBody(FailureAnswer(kMsgLookQuestionFail, callback));
        return -1;
    }
    Perform(StartQuestionRequest{true});
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

int SubmitExamAnswers(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    SubmitAnswerRequest submit{request.body};
    Perform(submit);
    if (submit.result == kSubmitAnswerOk) {
        response.SetBody(SuccessAnswer(callback));
    } else if (submit.result == kSubmitAnswerNotStored) {
        // The page may keep the answer and try again; saying "ok" would tell
        // it the answer is safe.
        response.SetBody(FailureAnswer(kMsgAnswerNotStored, callback));
    } else {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
    }
    return submit.result;
}

}  // namespace methods
