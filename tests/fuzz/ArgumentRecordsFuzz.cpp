// Feeds arbitrary text to every argument record, as a page could send it in
// RequestArgs, and checks the results the handlers rely on.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "channel/ArgumentRecords.h"
#include "channel/RequestEnvelope.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

bool KnownResult(int result) {
    return result == kArgsOk || result == kArgsNotJson || result == kArgsNotArray ||
           result == kArgsMissingField;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    ExamStartArgs start;
    int result = start.Parse(text);
    Require(result != kArgsMissingField && KnownResult(result));

    ExamQuestionArgs question;
    result = question.Parse(text);
    Require(KnownResult(result));
    if (result == kArgsOk) {
        Require(!question.domainUrl.empty() && !question.examGradeUid.empty() &&
                !question.examQuestionUid.empty() && !question.examQuestionType.empty() &&
                !question.examQuestionContent.empty());
    }

    CourseViewArgs course;
    result = course.Parse(text);
    Require(KnownResult(result));
    if (result == kArgsOk) {
        Require(!course.userUid.empty() && !course.domainUrl.empty() && !course.courseUrl.empty() &&
                !course.courseHash.empty());
    }

    LearningArgs learning;
    result = learning.Parse(text);
    Require(KnownResult(result));
    Require(result != kArgsOk || !learning.domainUrl.empty());

    TrustDomainArgs trust;
    result = trust.Parse(text);
    Require(result != kArgsMissingField && KnownResult(result));
    Require(result == kArgsOk || trust.urls.empty());
    return 0;
}
