#include "peers/downloader/CourseManagerClient.h"

#include <cstring>
#include <mutex>

#include "foundation/ClientLog.h"
#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "peers/downloader/DownloaderAddress.h"
#include "peers/downloader/DownloaderJson.h"

namespace {

// Sending waits as long as the loopback peer takes to read.
constexpr int kSendWithoutLimit = 0;

std::mutex& CourseManagerLock() {
    static std::mutex lock;
    return lock;
}

const Json::Value* Member(const Json::Value& object, const char* name) {
    return object.isObject() ? object.find(name, name + std::strlen(name)) : nullptr;
}

// A real number is one written with a fraction or an exponent: "50" is not one.
bool IsReal(const Json::Value& value) {
    return value.type() == Json::realValue;
}

bool IsInteger(const Json::Value& value) {
    return (value.type() == Json::intValue || value.type() == Json::uintValue) && value.isInt();
}

// Members of another type leave the field as it was.
void ReadWide(const Json::Value& object, const char* name, std::u16string& field) {
    const Json::Value* value = Member(object, name);
    if (value && value->isString()) {
        field = Utf8ToWide(value->asString());
    }
}

void ReadReal(const Json::Value& object, const char* name, double& field) {
    const Json::Value* value = Member(object, name);
    if (value && IsReal(*value)) {
        field = value->asDouble();
    }
}

// Sizes travel as decimal strings; any other text reads 0.
void ReadSize(const Json::Value& object, const char* name, int64_t& field) {
    const Json::Value* value = Member(object, name);
    if (value && value->isString()) {
        field = ParseInt64(value->asString());
    }
}

// Arrays are visited by index; an object has no indexed elements, so each of
// its positions reads as an empty record.
const Json::Value& ElementAt(const Json::Value& list, Json::ArrayIndex index) {
    return list.isArray() ? list[index] : Json::Value::nullSingleton();
}

CourseInfo ReadCourse(const Json::Value& item) {
    CourseInfo course;
    ReadWide(item, "courseHash", course.courseHash);
    ReadWide(item, "courseName", course.courseName);
    ReadReal(item, "courseDownRate", course.courseDownRate);
    ReadSize(item, "size", course.size);
    return course;
}

LessonInfo ReadLesson(const Json::Value& item) {
    LessonInfo lesson;
    ReadWide(item, "lessonUid", lesson.lessonUid);
    ReadWide(item, "lessonName", lesson.lessonName);
    ReadReal(item, "lessonDownRate", lesson.lessonDownRate);
    if (const Json::Value* status = Member(item, "lessonStatus"); status && IsInteger(*status)) {
        lesson.lessonStatus = status->asInt();
    }
    ReadSize(item, "size", lesson.size);
    const Json::Value* courses = Member(item, "courseList");
    if (courses && (courses->isArray() || courses->isObject())) {
        for (Json::ArrayIndex i = 0; i < courses->size(); ++i) {
            lesson.courses.push_back(ReadCourse(ElementAt(*courses, i)));
        }
    }
    return lesson;
}

int PreDownload(const char* method, const std::u16string& userUid,
                const std::vector<std::u16string>& lessons) {
    return CheckIsSuccess(SendCourseManagerRequest(method, BuildLessonArgs(userUid, lessons)));
}

}  // namespace

std::string SendCourseManagerRequest(const std::string& methodName, const std::string& args) {
    std::lock_guard<std::mutex> hold(CourseManagerLock());
    // The course manager page asks every second: an absent downloader is
    // logged when it goes and when it is back, not once a second all day.
    static bool downloaderGone = false;
    SOCKET socket = CreateTcpSocket();
    const int port = DownloaderPort();
    if (socket == kInvalidSocket ||
        ConnectTcp(socket, kDownloaderHost, port, kCourseManagerConnectTimeoutMs) != 0) {
        if (!downloaderGone) {
            LOG_ERROR("Connect to downloader failed.\n");
            downloaderGone = true;
        }
        CloseSocket(socket);
        return {};
    }
    if (downloaderGone) {
        LOG_INFO("Connect to downloader succeeded again.\n");
        downloaderGone = false;
    }
    CHttpRequest request;
    request.SetHost(kDownloaderHost, port);
    request.SetUrl(kCourseManagerPath);
    request.AddParam("MethodName", methodName);
    request.AddParam("RequstArgs", args);
    request.Send(socket, kSendWithoutLimit);
    CHttpResponse response;
    response.Receive(socket, kCourseManagerReceiveTimeoutMs);
    CloseSocket(socket);
    return response.body;
}

std::string BuildLessonArgs(const std::u16string& userUid,
                            const std::vector<std::u16string>& lessonUids) {
    Json::Value item(Json::objectValue);
    item["userUid"] = WideToUtf8(userUid);
    for (const std::u16string& lesson : lessonUids) {
        Json::Value entry(Json::objectValue);
        entry["lessonUid"] = WideToUtf8(lesson);
        item["lessonList"].append(entry);
    }
    Json::Value root(Json::arrayValue);
    root.append(item);
    return WriteCompactJson(root);
}

int CheckIsSuccess(const std::string& body) {
    Json::Value root;
    if (!ParseDownloaderJson(body, root)) {
        return kSuccessFailed;
    }
    if (!root.isNull() && !root.isArray()) {
        return kSuccessNotArray;
    }
    const Json::Value* flag = Member(FirstElement(root), "isSuccess");
    if (flag == nullptr || !flag->isString()) {
        return kSuccessNoFlag;
    }
    return IsSuccessText(flag->asString()) ? kSuccessOk : kSuccessFailed;
}

namespace {

// A downloader answer that says success: 0 with its root, -1 when it does not
// say success or is no JSON, -2 when its root is neither an array nor null.
int ReadSuccessfulAnswer(const std::string& body, Json::Value& root) {
    if (CheckIsSuccess(body) != kSuccessOk || !ParseDownloaderJson(body, root)) {
        return -1;
    }
    return root.isNull() || root.isArray() ? 0 : -2;
}

}  // namespace

int ParseLessonList(const std::string& body, std::vector<LessonInfo>& lessons) {
    Json::Value root;
    if (int result = ReadSuccessfulAnswer(body, root); result != 0) {
        return result;
    }
    const Json::Value* list = Member(FirstElement(root), "lessonList");
    if (list == nullptr || !(list->isArray() || list->isObject())) {
        return 0;
    }
    for (Json::ArrayIndex i = 0; i < list->size(); ++i) {
        lessons.push_back(ReadLesson(ElementAt(*list, i)));
    }
    return 0;
}

int StartPreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons) {
    return PreDownload("StartPreDownLesson", userUid, lessons);
}

int StopPreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons) {
    return PreDownload("StopPreDownLesson", userUid, lessons);
}

int DeletePreDownLesson(const std::u16string& userUid, const std::vector<std::u16string>& lessons) {
    return PreDownload("DeletePreDownLesson", userUid, lessons);
}

int DeleteAllPreDownLesson(const std::u16string& userUid) {
    return PreDownload("DeleteAllPreDownLesson", userUid, {});
}

int GetUserLessonList(const std::u16string& userUid, std::vector<LessonInfo>& lessons) {
    return ParseLessonList(
        SendCourseManagerRequest("GetUserLessonList", BuildLessonArgs(userUid, {})), lessons);
}

int GetUserLessonCourseInfo(const std::u16string& userUid, const std::u16string& lessonUid,
                            std::vector<LessonInfo>& lessons) {
    Json::Value item(Json::objectValue);
    item["lessonUid"] = WideToUtf8(lessonUid);
    item["userUid"] = WideToUtf8(userUid);
    Json::Value root(Json::arrayValue);
    root.append(item);
    return ParseLessonList(
        SendCourseManagerRequest("GetUserLessonCourseInfo", WriteCompactJson(root)), lessons);
}

int GetCurServerInfo(std::u16string& curUser) {
    const std::string body = SendCourseManagerRequest("GetCurServerInfo", "");
    Json::Value root;
    if (int result = ReadSuccessfulAnswer(body, root); result != 0) {
        return result;
    }
    const Json::Value* user = Member(FirstElement(root), "curUser");
    if (user && user->isString()) {
        curUser = Utf8ToWide(user->asString());
    }
    return 0;
}
