#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/x11/X11Windows.h"

// The argument records a channel handler parses from RequestArgs and hands to
// a window. A record lives on the handler's stack for one call; a window that
// receives one copies what it keeps. Texts are the bytes the page sent (UTF-8).
//
// Parse resets the JSON-read fields to their defaults, reads them, and returns
// kArgsOk, kArgsNotJson, kArgsNotArray or kArgsMissingField (RequestEnvelope.h).

// "StartExam". No field is required.
struct ExamStartArgs {
    std::string userUid;
    std::string examUid;
    std::string domainUrl;  // kept as sent: the exam page URL is used verbatim
    std::string examArrangeUid;
    std::string examGradeUid;
    std::string authName;  // authInfo.authName
    std::string authPass;  // authInfo.authPass
    bool isTop = false;
    bool isClipboardClear = false;
    int captureCamera = 0;
    std::string videoUrl;

    int Parse(std::string_view json);
};

// "StartExamQuestion" and "LookExamQuestion". Required: domainUrl,
// examGradeUid, examQuestionUid, examQuestionType, examQuestionContent.
struct ExamQuestionArgs {
    std::string userUid;
    std::string domainUrl;  // percent-decoded
    std::string examUid;
    std::string examArrangeUid;
    std::string examGradeUid;
    std::string examQuestionUid;
    std::string examQuestionType;
    std::string examQuestionContent;  // percent-decoded
    bool isTop = false;
    // Set by the handler, not read from JSON (Parse leaves them alone): the
    // exam window's X window (0 without one) and whether the question is
    // only looked at.
    NativeWindow ownerWindow = 0;
    bool lookOnly = false;

    int Parse(std::string_view json);
};

// "StartViewCourse". Required: userUid, domainUrl, courseUrl, courseHash.
struct CourseViewArgs {
    std::string userUid;
    std::string trainUid;
    std::string lessonUid;
    std::string domainUrl;  // percent-decoded
    std::string courseUrl;
    std::string Name;
    std::string courseHash;
    std::string courseType;
    bool isTop = false;
    bool preventHangup = false;
    int checkHangupIntev = 0;

    int Parse(std::string_view json);
};

// "StartLearning". Required: domainUrl.
struct LearningArgs {
    std::string userUid;
    std::string domainUrl;  // percent-decoded

    int Parse(std::string_view json);
};

// "SetTrustDomains": the "url" strings of the objects in the "domainUrl"
// array, in order; other elements are skipped. No field is required.
struct TrustDomainArgs {
    std::string userUid;
    std::vector<std::string> urls;

    int Parse(std::string_view json);
};
