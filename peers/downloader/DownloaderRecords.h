#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/SqlResult.h"

// The state of a lesson's pre-download as the downloader reports it.
enum LessonStatus { csStop = 0, csDown = 1, csWait = 2, csPlaying = 3, csOver = 4 };

// One course file of a lesson.
struct CourseInfo {
    std::u16string courseHash;
    std::u16string courseName;
    int64_t size = 0;
    double courseDownRate = 0.0;
};

// One lesson of the learner, with its course files in answer order.
struct LessonInfo {
    std::u16string lessonUid;
    std::u16string lessonName;
    int64_t size = 0;
    double lessonDownRate = 0.0;
    int lessonStatus = 0;
    std::vector<CourseInfo> courses;
};
