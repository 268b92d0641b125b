#include "tools/downloader/CourseManagerRoutes.h"

#include <cmath>

#include "tools/standin/JsonText.h"
#include "tools/standin/RequestParams.h"

namespace {

// Progress rates are reported with two decimals.
constexpr double kRateScale = 100.0;

Json::Value Outcome(bool success, const std::string& message) {
    Json::Value item(Json::objectValue);
    item["isSuccess"] = success ? "true" : "false";
    item["errorCode"] = success ? "0" : "-1";
    item["errorMsg"] = message;
    return item;
}

void Answer(httplib::Response& response, const Json::Value& item) {
    Json::Value root(Json::arrayValue);
    root.append(item);
    response.set_content(WriteJson(root), "application/json; charset=utf-8");
}

// Always a real number, even for 0 and 100, since readers take only reals.
double Rate(int64_t done, int64_t size) {
    if (size <= 0) {
        return 0.0;
    }
    return std::round(static_cast<double>(done) * 100.0 * kRateScale / static_cast<double>(size)) /
           kRateScale;
}

Json::Value LessonJson(const LessonRow& lesson) {
    Json::Value item(Json::objectValue);
    item["lessonUid"] = lesson.uid;
    item["lessonName"] = lesson.name;
    item["lessonDownRate"] = Rate(lesson.Downloaded(), lesson.Size());
    item["lessonStatus"] = lesson.status;
    item["size"] = std::to_string(lesson.Size());
    Json::Value courses(Json::arrayValue);
    for (const CourseRow& course : lesson.courses) {
        Json::Value c(Json::objectValue);
        c["courseHash"] = course.hash;
        c["courseName"] = course.name;
        c["courseDownRate"] = Rate(course.downloaded, course.size);
        c["size"] = std::to_string(course.size);
        courses.append(c);
    }
    item["courseList"] = courses;
    return item;
}

struct LessonArgs {
    std::string userUid;
    std::string lessonUid;
    std::vector<std::string> lessonUids;
};

bool ReadArgs(const std::string& text, LessonArgs& args) {
    Json::Value root;
    if (!ReadJson(text, root) || !root.isArray() || root.empty() || !root[0].isObject()) {
        return false;
    }
    const Json::Value& item = root[0];
    if (item["userUid"].isString()) {
        args.userUid = item["userUid"].asString();
    }
    if (item["lessonUid"].isString()) {
        args.lessonUid = item["lessonUid"].asString();
    }
    const Json::Value& list = item["lessonList"];
    if (list.isArray()) {
        for (const Json::Value& lesson : list) {
            if (lesson.isObject() && lesson["lessonUid"].isString()) {
                args.lessonUids.push_back(lesson["lessonUid"].asString());
            }
        }
    }
    return true;
}

}  // namespace

CourseManagerRoutes::CourseManagerRoutes(LessonDatabase& database, DownloadSimulator& simulator)
    : m_database(database), m_simulator(simulator) {}

void CourseManagerRoutes::Handle(const httplib::Request& request, httplib::Response& response) {
    const std::string method = ParamOf(request, "MethodName");
    std::string argsText = ParamOf(request, "RequstArgs");
    if (argsText.empty()) {
        argsText = ParamOf(request, "RequestArgs");
    }

    if (method == "GetCurServerInfo") {
        Json::Value item = Outcome(true, "ok");
        item["curUser"] = m_database.CurrentUser();
        Answer(response, item);
        return;
    }
    const bool known = method == "StartPreDownLesson" || method == "StopPreDownLesson" ||
                       method == "DeletePreDownLesson" || method == "DeleteAllPreDownLesson" ||
                       method == "GetUserLessonList" || method == "GetUserLessonCourseInfo";
    if (!known) {
        Answer(response, Outcome(false, "unknown method"));
        return;
    }
    LessonArgs args;
    if (!ReadArgs(argsText, args) || args.userUid.empty()) {
        Answer(response, Outcome(false, "bad arguments"));
        return;
    }

    if (method == "GetUserLessonList" || method == "GetUserLessonCourseInfo") {
        if (method == "GetUserLessonCourseInfo" && args.lessonUid.empty()) {
            Answer(response, Outcome(false, "bad arguments"));
            return;
        }
        Json::Value item = Outcome(true, "ok");
        Json::Value list(Json::arrayValue);
        for (const LessonRow& lesson : m_database.Lessons(args.userUid, args.lessonUid)) {
            list.append(LessonJson(lesson));
        }
        item["lessonList"] = list;
        Answer(response, item);
        return;
    }
    if (method == "DeleteAllPreDownLesson") {
        m_database.DeleteAll(args.userUid);
        Answer(response, Outcome(true, "ok"));
        return;
    }
    if (args.lessonUids.empty()) {
        Answer(response, Outcome(false, "bad arguments"));
        return;
    }
    int changed = 0;
    if (method == "StartPreDownLesson") {
        changed = m_database.Start(args.userUid, args.lessonUids);
        m_simulator.Wake();
    } else if (method == "StopPreDownLesson") {
        changed = m_database.Stop(args.userUid, args.lessonUids);
    } else {
        changed = m_database.Delete(args.userUid, args.lessonUids);
        m_simulator.Wake();
    }
    Answer(response, changed > 0 ? Outcome(true, "ok") : Outcome(false, "no such lesson"));
}
