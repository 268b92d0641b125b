#include "shell/CommandMethods.h"

#include "channel/Dispatch.h"
#include "exam/window/ExamWnd.h"
#include "ui/MessageHub.h"
#include "ui/WindowMessages.h"

namespace {

constexpr const char* kSavedParam = "param";

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

}  // namespace

void RegisterCommandMethods() {
    SetChannelHandler("FileCache", &FileCache);
}
