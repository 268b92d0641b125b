#include "exam/session/ExamQuestionMethods.h"

#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/ChannelAnswers.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "exam/paper/LoadExamPaperWnd.h"
#include "exam/question/ExamQuestionWnd.h"
#include "exam/session/ExamSessionMethods.h"
#include "exam/window/ExamWnd.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "ui/MessageHub.h"

namespace {

std::function<WindowImplBaseNew*()> g_mainFrame;

LRESULT SendToMainFrame(UINT message, LPARAM lParam) {
    WindowImplBaseNew* mainFrame = g_mainFrame ? MessageHub::Call(g_mainFrame) : nullptr;
    return mainFrame ? MessageHub::Send(mainFrame, message, 0, lParam) : -1;
}

bool PaperWindowShown() {
    CLoadExamPaperWnd* window = ExistingPaperLoadingWindow();
    return window && window->IsCreated();
}

int UpdatePaperDownloadStatus(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    response.SetBody(std::string());
    int status = 0;
    if (request.GetIntParam(kParamStatus, status) != 0) {
        return 0;  // no status given: nothing to show
    }
    if (status == PaperLoadingRules::kDownloading) {
        SendToMainFrame(WM_SHOW_PAPER_LOADING, 0);
    }
    // The window lives on the GUI thread; the answer waits for the change.
    MessageHub::Call([status] {
        if (PaperWindowShown()) {
            ExistingPaperLoadingWindow()->SetStatus(status, false);
        }
    });
    return 0;
}

// The exam window's native handle, 0 without one.
unsigned long ExamWindowHandle() {
    return MessageHub::Call([] {
        CExamWnd* exam = ExistingExamWindow();
        return exam && exam->IsCreated() ? exam->NativeHandle() : 0ul;
    });
}

// Reads the question and hands it to the main frame; false (with the
// failure answer set) for arguments that are not a question.
bool SendQuestion(CHttpResponse& response, const CHttpRequest& request, unsigned long owner,
                  bool lookOnly, LRESULT& result) {
    ExamQuestionArgs args;
    if (args.Parse(ReadRequestArgs(request)) != kArgsOk) {
        LOG_ERROR("exam json error");
        response.SetBody(FailureAnswer(kMsgJsonError, ReadCallbackName(request)));
        return false;
    }
    // Learner, grade, question and type make up the document's file name:
    // none may lead out of the question folder (any page can reach the
    // channel, and the document is downloaded to that name).
    if ((!args.userUid.empty() && !IsPlainFileName(args.userUid)) ||
        !IsPlainFileName(args.examGradeUid) || !IsPlainFileName(args.examQuestionUid) ||
        !IsPlainFileName(args.examQuestionType)) {
        LOG_ERROR("question refused: its names are no plain file names");
        response.SetBody(FailureAnswer(kMsgJsonError, ReadCallbackName(request)));
        return false;
    }
    args.ownerWindow = reinterpret_cast<void*>(owner);
    args.lookOnly = lookOnly;
    result = SendToMainFrame(WM_START_EXAM_QUESTION, reinterpret_cast<LPARAM>(&args));
    return true;
}

int StartExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    const unsigned long owner = ExamWindowHandle();
    if (owner == 0) {
        LOG_ERROR("first exam windows not exist");
        response.SetBody(FailureAnswer(kMsgStartExamFirst, callback));
        return -1;
    }
    LRESULT result = -1;
    if (!SendQuestion(response, request, owner, false, result)) {
        return -1;
    }
    if (result == 0) {
        QuestionWindow()->StartAnswering();
    }
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

int LookExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const unsigned long owner = ExamWindowHandle();  // may be 0
    const std::string callback = ReadCallbackName(request);
    LRESULT result = -1;
    if (!SendQuestion(response, request, owner, true, result)) {
        return -1;
    }
    if (result != 0) {
        response.SetBody(FailureAnswer(kMsgLookQuestionFail, callback));
        return -1;
    }
    QuestionWindow()->StartViewing();
    response.SetBody(SuccessAnswer(callback));
    return 0;
}

}  // namespace

void RegisterExamQuestionMethods(std::function<WindowImplBaseNew*()> mainFrame) {
    g_mainFrame = std::move(mainFrame);
    SetChannelHandler("UpdatePaperDownloadStatus", &UpdatePaperDownloadStatus);
    SetChannelHandler("StartExamQuestion", &StartExamQuestion);
    SetChannelHandler("LookExamQuestion", &LookExamQuestion);
    SetPaperLoadingHook({[] { return PaperWindowShown(); },
                         [](int status) {
                             if (CLoadExamPaperWnd* window = ExistingPaperLoadingWindow()) {
                                 window->SetStatus(status, false);
                             }
                         }});
}
