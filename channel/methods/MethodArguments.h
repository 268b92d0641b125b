#pragma once

#include <string>

#include "channel/ChannelAnswers.h"
#include "channel/RequestEnvelope.h"
#include "foundation/ClientLog.h"
#include "http/HttpResponse.h"

// The prologue of the methods that take JSON arguments: the callback name,
// and the arguments read into their record. Arguments that are not the
// record's answer "error json formart!" (and write the method's log line,
// where it has one); false then, and the handler returns.
template <class Args>
bool ReadMethodArguments(const CHttpRequest& request, CHttpResponse& response, Args& args,
                         std::string& callback, const char* failureLogLine = nullptr) {
    callback = ReadCallbackName(request);
    if (args.Parse(ReadRequestArgs(request)) == kArgsOk) {
        return true;
    }
    if (failureLogLine != nullptr) {
        LOG_ERROR("%s", failureLogLine);
    }
    response.SetBody(FailureAnswer(kMsgJsonError, callback));
    return false;
}
