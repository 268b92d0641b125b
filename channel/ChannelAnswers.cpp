#include "channel/ChannelAnswers.h"

#include <json/value.h>
#include <json/writer.h>

#include "channel/Answer.h"
#include "foundation/Encoding.h"

std::string SuccessAnswer(const std::string& callback) {
    return BuildAnswer(0, true, kMsgOk, kClientVersion, callback);
}

std::string FailureAnswer(const std::string& message, const std::string& callback) {
    return BuildAnswer(kAnswerFailureCode, false, message, kClientVersion, callback);
}

std::string BuildStatusAnswer(const std::string& member, const std::string& value,
                              const std::string& callback) {
    Json::Value item(Json::objectValue);
    item[member] = value;
    Json::Value result(Json::arrayValue);
    result.append(item);
    Json::Value answer(Json::objectValue);
    answer["errorCode"] = "0";
    answer["errorMsg"] = kMsgOk;
    answer["isSuccess"] = "true";
    answer["result"] = result;
    answer["version"] = kClientVersion;

    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";  // compact: no spaces, no line breaks
    std::string json = Json::writeString(builder, answer);
    return ToUtf8IfNeeded(SanitizeCallback(callback) + "(" + json + ")");
}

std::string ExamStatusAnswer(int examStatus, const std::string& callback) {
    return BuildStatusAnswer("examStatus", std::to_string(examStatus), callback);
}

std::string LearningStatusAnswer(bool learning, const std::string& callback) {
    return BuildStatusAnswer("learningStatus", learning ? "1" : "0", callback);
}
