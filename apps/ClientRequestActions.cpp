#include "apps/ClientRequestActions.h"

#include <QCoreApplication>

#include "channel/methods/ClientRequests.h"
#include "courses/learning/LearningWnd.h"
#include "courses/view/CourseViewWnd.h"
#include "exam/answers/AnswerStore.h"
#include "exam/paper/LoadExamPaperWnd.h"
#include "exam/question/ExamQuestionWnd.h"
#include "exam/window/ExamWnd.h"
#include "shell/MainFrame.h"
#include "shell/TabPageSet.h"
#include "ui/MessageHub.h"
#include "ui/WindowMessages.h"
#include "update/AutoUpdateWnd.h"
#include "update/UpdateChecker.h"

namespace {

static_assert(kSubmitAnswerOk == AnswerStore::kSubmitOk);
static_assert(kSubmitAnswerNotJson == AnswerStore::kSubmitNotJson);
static_assert(kSubmitAnswerNotStored == AnswerStore::kSubmitNotStored);

template <class Request>
void On(typename ClientRequest<Request>::Action action) {
    ClientRequest<Request>::Install(std::move(action));
}

// Done on the GUI thread; the calling pool thread waits for the result.
template <class Request, class Work>
void OnGuiThread(Work work) {
    On<Request>(
        [work](Request& request) { return MessageHub::Call([&] { return work(request); }); });
}

void InstallExamActions() {
    OnGuiThread<OpenExamRequest>(
        [](OpenExamRequest& request) { return OpenExamWindow(request.exam); });
    OnGuiThread<EndExamRequest>([](EndExamRequest&) {
        CExamWnd* window = ExistingExamWindow();
        return !window || window->EndExam() ? 0 : -1;
    });
    OnGuiThread<ExamCameraStatusRequest>([](ExamCameraStatusRequest& request) {
        CExamWnd* window = ExistingExamWindow();
        return window && window->OnCameraStatus(request.code) ? 0 : -1;
    });
    On<ExamSaveResultRequest>([](ExamSaveResultRequest& request) {
        // Posted: the exam page waits for no answer.
        MessageHub::PostCall([saved = request.saved] {
            if (CExamWnd* window = ExistingExamWindow()) {
                MessageHub::Post(window, WM_CLIENT_SAVE_ANSWER, 0, static_cast<LPARAM>(saved));
            }
        });
        return 0;
    });
    OnGuiThread<ExamWindowRequest>([](ExamWindowRequest& request) {
        CExamWnd* exam = ExistingExamWindow();
        request.window = exam && exam->IsCreated() ? exam->NativeHandle() : 0;
        return request.window != 0 ? 0 : -1;
    });
    OnGuiThread<ShowPaperLoadingRequest>([](ShowPaperLoadingRequest&) {
        PaperLoadingWindow()->ShowPaperLoading();
        return 0;
    });
    OnGuiThread<PaperStatusRequest>([](PaperStatusRequest& request) {
        CLoadExamPaperWnd* window = ExistingPaperLoadingWindow();
        if (!window || !window->IsCreated()) {
            return -1;
        }
        window->SetStatus(request.status, false);
        return 0;
    });
    OnGuiThread<OpenQuestionRequest>(
        [](OpenQuestionRequest& request) { return OpenQuestionWindow(request.question); });
    // Not on the GUI thread: answering waits for the container's save.
    On<StartQuestionRequest>([](StartQuestionRequest& request) {
        CExamQuestionWnd* window = QuestionWindow();
        return (request.lookOnly ? window->StartViewing() : window->StartAnswering()) ? 0 : -1;
    });
    On<SubmitAnswerRequest>([](SubmitAnswerRequest& request) {
        request.result = AnswerStore::Instance().Submit(request.body);
        return request.result;
    });
}

void InstallCourseActions() {
    OnGuiThread<ShowCourseViewRequest>([](ShowCourseViewRequest& request) {
        return HeldBackByLockedExam("course view") ? -1 : ShowCourseViewWindow(request.course);
    });
    // On the pool thread: the download may take minutes.
    On<OpenCourseDocumentRequest>(
        [](OpenCourseDocumentRequest&) { return CCourseViewWnd::OpenDocument() ? 0 : -1; });
    OnGuiThread<CourseViewShownRequest>([](CourseViewShownRequest& request) {
        request.shown = CourseViewWindow()->IsCreated();
        return 0;
    });
    OnGuiThread<OpenLearningRequest>([](OpenLearningRequest& request) {
        if (HeldBackByLockedExam("learning window")) {
            return -1;
        }
        return LearningWindow()->Open(request.learning.domainUrl) ? 0 : -1;
    });
    OnGuiThread<CloseLearningRequest>([](CloseLearningRequest&) {
        CLearningWnd* window = LearningWindow();
        if (window->IsCreated()) {
            window->Close();
        }
        return 0;
    });
}

void InstallCommandActions() {
    On<ExitClientRequest>([](ExitClientRequest&) {
        MessageHub::PostCall([] {
            if (CMainFrame* frame = CMainFrame::Instance()) {
                frame->HideForExit();
            }
            // exit, not quit: quit asks the windows first, and the main frame refuses to close.
            QCoreApplication::exit(0);
        });
        return 0;
    });
    On<CheckUpdateRequest>([](CheckUpdateRequest& request) {
        request.offered = ProcessUpdateChecker().CheckForUpdate(request.server);
        return 0;
    });
    On<ShowUpdateOfferRequest>([](ShowUpdateOfferRequest&) {
        MessageHub::PostCall([] {
            CMainFrame* frame = CMainFrame::Instance();
            if (frame && !HeldBackByLockedExam("update window")) {
                CAutoUpdateWnd::Show(frame);
            }
        });
        return 0;
    });
    On<AddTrustedSiteRequest>([](AddTrustedSiteRequest& request) {
        return CTabPageSet::AddTrustedSite(request.url) ? 0 : -1;
    });
}

}  // namespace

void InstallClientRequestActions() {
    InstallExamActions();
    InstallCourseActions();
    InstallCommandActions();
}
