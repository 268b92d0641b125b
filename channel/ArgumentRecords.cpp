#include "channel/ArgumentRecords.h"

#include <json/value.h>

#include <initializer_list>

#include "channel/RequestEnvelope.h"

namespace {

int RequireAll(std::initializer_list<const std::string*> fields) {
    for (const std::string* field : fields) {
        if (field->empty()) {
            return kArgsMissingField;
        }
    }
    return kArgsOk;
}

}  // namespace

int ExamStartArgs::Parse(std::string_view json) {
    *this = ExamStartArgs();
    Json::Value args;
    if (int result = ParseArgumentObject(json, args); result != kArgsOk) {
        return result;
    }
    ReadText(args, "userUid", userUid);
    ReadText(args, "examUid", examUid);
    ReadText(args, "domainUrl", domainUrl);
    ReadText(args, "examArrangeUid", examArrangeUid);
    ReadText(args, "examGradeUid", examGradeUid);
    if (const Json::Value* auth = FindMember(args, "authInfo")) {
        ReadText(*auth, "authName", authName);
        ReadText(*auth, "authPass", authPass);
    }
    ReadFlag(args, "isTop", isTop);
    ReadFlag(args, "isClipboardClear", isClipboardClear);
    ReadInt(args, "captureCamera", captureCamera);
    ReadText(args, "videoUrl", videoUrl);
    return kArgsOk;
}

int ExamQuestionArgs::Parse(std::string_view json) {
    ExamQuestionArgs fresh;
    fresh.ownerWindow = ownerWindow;
    fresh.lookOnly = lookOnly;
    *this = fresh;
    Json::Value args;
    if (int result = ParseArgumentObject(json, args); result != kArgsOk) {
        return result;
    }
    ReadText(args, "userUid", userUid);
    ReadDecodedText(args, "domainUrl", domainUrl);
    ReadText(args, "examUid", examUid);
    ReadText(args, "examArrangeUid", examArrangeUid);
    ReadText(args, "examGradeUid", examGradeUid);
    ReadText(args, "examQuestionUid", examQuestionUid);
    ReadText(args, "examQuestionType", examQuestionType);
    ReadDecodedText(args, "examQuestionContent", examQuestionContent);
    ReadFlag(args, "isTop", isTop);
    return RequireAll(
        {&domainUrl, &examGradeUid, &examQuestionUid, &examQuestionType, &examQuestionContent});
}

int CourseViewArgs::Parse(std::string_view json) {
    *this = CourseViewArgs();
    Json::Value args;
    if (int result = ParseArgumentObject(json, args); result != kArgsOk) {
        return result;
    }
    ReadText(args, "userUid", userUid);
    ReadText(args, "trainUid", trainUid);
    ReadText(args, "lessonUid", lessonUid);
    ReadDecodedText(args, "domainUrl", domainUrl);
    ReadText(args, "courseUrl", courseUrl);
    ReadText(args, "Name", Name);
    ReadText(args, "courseHash", courseHash);
    ReadText(args, "courseType", courseType);
    ReadFlag(args, "isTop", isTop);
    ReadFlag(args, "preventHangup", preventHangup);
    ReadInt(args, "checkHangupIntev", checkHangupIntev);
    return RequireAll({&userUid, &domainUrl, &courseUrl, &courseHash});
}

int LearningArgs::Parse(std::string_view json) {
    *this = LearningArgs();
    Json::Value args;
    if (int result = ParseArgumentObject(json, args); result != kArgsOk) {
        return result;
    }
    ReadText(args, "userUid", userUid);
    ReadDecodedText(args, "domainUrl", domainUrl);
    return RequireAll({&domainUrl});
}

int TrustDomainArgs::Parse(std::string_view json) {
    *this = TrustDomainArgs();
    Json::Value args;
    if (int result = ParseArgumentObject(json, args); result != kArgsOk) {
        return result;
    }
    ReadText(args, "userUid", userUid);
    const Json::Value* list = FindMember(args, "domainUrl");
    if (list && list->isArray()) {
        for (const Json::Value& element : *list) {
            const Json::Value* url = FindMember(element, "url");
            if (url && url->isString()) {
                urls.push_back(url->asString());
            }
        }
    }
    return kArgsOk;
}
