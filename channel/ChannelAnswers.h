#pragma once

#include <string>

// The answers of the channel besides BuildAnswer's generic one, and the
// messages every failure answer carries (always with error code -1).

constexpr const char* kMsgOk = "ok";
constexpr const char* kMsgJsonError = "error json formart!";
constexpr const char* kMsgUnknownRequest = "unknown request";
constexpr const char* kMsgStartExamFail = "start exam fail";
constexpr const char* kMsgEndExamFail = "end exam fail";
constexpr const char* kMsgStartExamFirst = "please start exam first!";
constexpr const char* kMsgLookQuestionFail = "start operation question fail";
constexpr const char* kMsgInTheExam = "exam status is in the exam";
constexpr const char* kMsgStartCourseViewFail = "start course view fail";
constexpr const char* kMsgStartLearningFail = "start learning fail";

constexpr int kAnswerFailureCode = -1;

// cb([{"errorCode":"0","errorMsg":"ok","isSuccess":"true","version":"2.3.1.17"}])
std::string SuccessAnswer(const std::string& callback);
// The same with "-1", "false" and the message (in the narrow code page).
std::string FailureAnswer(const std::string& message, const std::string& callback);

// cb({"errorCode":"0","errorMsg":"ok","isSuccess":"true",
//     "result":[{"<member>":"<value>"}],"version":"2.3.1.17"}) as UTF-8.
std::string BuildStatusAnswer(const std::string& member, const std::string& value,
                              const std::string& callback);
// "CheckExamStatus": the exam state in decimal.
std::string ExamStatusAnswer(int examStatus, const std::string& callback);
// "CheckViewCourse": "1" while a course or learning page is open, else "0".
std::string LearningStatusAnswer(bool learning, const std::string& callback);
