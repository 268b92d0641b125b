#pragma once

#include <string>
#include <vector>

#include "peers/downloader/DownloaderRecords.h"

// The course-manager methods of the downloader, one synchronous GET each.
// Exchanges are serialised by one process-wide lock, so at most one is on
// the wire at a time and callers on the GUI thread wait at most about the
// connection and answer limits below.

constexpr const char* kCourseManagerPath = "//COURSEMANAGERREQUEST.KIVO";
constexpr int kCourseManagerConnectTimeoutMs = 200;
constexpr int kCourseManagerReceiveTimeoutMs = 1000;

// Success code of CheckIsSuccess and the pre-download operations.
constexpr int kSuccessOk = 0;
constexpr int kSuccessFailed = -1;    // not JSON, or the downloader said no
constexpr int kSuccessNotArray = -2;  // root neither null nor an array
constexpr int kSuccessNoFlag = -3;    // element 0 has no string isSuccess

// The raw answer body (empty when the downloader is not listening).
std::string SendCourseManagerRequest(const std::string& methodName, const std::string& args);

// [{"lessonList":[{"lessonUid":..},..],"userUid":..}] plus a newline; without
// lesson ids there is no lessonList member.
std::string BuildLessonArgs(const std::u16string& userUid,
                            const std::vector<std::u16string>& lessonUids);

int CheckIsSuccess(const std::string& body);

// Appends the lessons of an answer: 0 (possibly none), -1 when the answer
// is not a success, -2 when its root is neither null nor an array.
int ParseLessonList(const std::string& body, std::vector<LessonInfo>& lessons);

int StartPreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons);
int StopPreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons);
int DeletePreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons);
int DeleteAllPreDownLesson(const std::u16string& userUid);
int GetUserLessonList(const std::u16string& userUid, std::vector<LessonInfo>& lessons);
int GetUserLessonCourseInfo(const std::u16string& userUid, const std::u16string& lessonUid,
                            std::vector<LessonInfo>& lessons);

// The downloader's signed-in learner: 0 (curUser left unchanged when the
// answer names none), -1 failure, -2 root neither null nor an array.
int GetCurServerInfo(std::u16string& curUser);
