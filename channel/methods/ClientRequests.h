#pragma once

#include <functional>
#include <string>
#include <utility>

#include "channel/ArgumentRecords.h"
#include "platform/x11/X11Windows.h"

// What the channel's methods ask of the rest of the client: windows, the
// answer store, the update check. Each request is a plain record; the
// client's composition root installs, once at start-up, who carries out each
// kind (a window through the message hub, a store directly), so the methods
// never know a window. A request nobody carries out fails.

// One kind of request and the one action installed for it.
template <class Request>
class ClientRequest {
public:
    using Action = std::function<int(Request&)>;

    // Before the channel accepts connections; later calls replace it.
    static void Install(Action action) { Slot() = std::move(action); }
    static bool Installed() { return static_cast<bool>(Slot()); }
    // The action's result; kNotCarriedOut when none is installed.
    static int Perform(Request& request) {
        const Action& action = Slot();
        return action ? action(request) : kNotCarriedOut;
    }

    static constexpr int kNotCarriedOut = -1;

private:
    static Action& Slot() {
        static Action action;
        return action;
    }
};

template <class Request>
int Perform(Request& request) {
    return ClientRequest<Request>::Perform(request);
}
template <class Request>
int Perform(Request&& request) {
    return ClientRequest<Request>::Perform(request);
}

// Exams. Results are 0 for done, anything else for refused or failed.
struct OpenExamRequest {
    const ExamStartArgs& exam;
};
struct EndExamRequest {};  // 0 once no exam window is open
struct ExamCameraStatusRequest {
    int code;
};
// The exam page's save result ("Y" for 1); no exam window, no effect.
struct ExamSaveResultRequest {
    int saved;
};
// The exam window's X window; 0 (and a result other than 0) without one.
struct ExamWindowRequest {
    NativeWindow window = 0;
};

// The paper-loading window: shown on the first "downloading", its state
// changed while it is shown.
struct ShowPaperLoadingRequest {};
struct PaperStatusRequest {
    int status;
};

// The question window: open (or reuse) it for a question, then start
// answering or looking.
struct OpenQuestionRequest {
    const ExamQuestionArgs& question;
};
struct StartQuestionRequest {
    bool lookOnly;
};

// Handed-in answers: the store's submit result, unchanged (not stored)
// when no store takes it.
constexpr int kSubmitAnswerOk = 0;
constexpr int kSubmitAnswerNotJson = -1;
constexpr int kSubmitAnswerNotStored = -2;
struct SubmitAnswerRequest {
    const std::string& body;
    int result = kSubmitAnswerNotStored;
};

// Courses and learning.
struct ShowCourseViewRequest {
    const CourseViewArgs& course;
};
// On the calling pool thread: download the shown course's document and
// start the container (may take minutes). 0 when it opened.
struct OpenCourseDocumentRequest {};
struct CourseViewShownRequest {
    bool shown = false;
};
struct OpenLearningRequest {
    const LearningArgs& learning;
};
struct CloseLearningRequest {};

// Commands.
struct ExitClientRequest {};  // the caller has had its answer already
// On the calling pool thread: whether the update server has an update to
// offer; then ShowUpdateOfferRequest shows it.
struct CheckUpdateRequest {
    std::u16string server;
    bool offered = false;
};
struct ShowUpdateOfferRequest {};
struct AddTrustedSiteRequest {
    const std::string& url;
};
