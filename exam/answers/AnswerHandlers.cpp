#include "exam/answers/AnswerHandlers.h"

#include "channel/ChannelAnswers.h"
#include "channel/Dispatch.h"
#include "channel/RequestEnvelope.h"
#include "exam/answers/AnswerStore.h"

namespace {

int SubmitExamAnswers(CHttpResponse& response, CHttpRequest& request, CClientWork*) {
    const std::string callback = ReadCallbackName(request);
    const int result = AnswerStore::Instance().Submit(request.body);
    if (result == AnswerStore::kSubmitOk) {
        response.SetBody(SuccessAnswer(callback));
    } else if (result == AnswerStore::kSubmitNotStored) {
        // The page may keep the answer and try again; saying "ok" would tell
        // it the answer is safe.
        response.SetBody(FailureAnswer(kMsgAnswerNotStored, callback));
    } else {
        response.SetBody(FailureAnswer(kMsgJsonError, callback));
    }
    return result;
}

}  // namespace

void RegisterAnswerHandlers() { SetChannelHandler("SubmitExamAnswers", SubmitExamAnswers); }
