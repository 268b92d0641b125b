#include "courses/manager/LessonListRules.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "foundation/Encoding.h"

namespace LessonListRules {

namespace {

struct StateRow {
    const char* name;
    const char* image;
};
constexpr std::array<StateRow, 5> kStates{{
    {"csStop", "btn_status_stop.png"},
    {"csDown", "btn_status_down.png"},
    {"csWait", "btn_status_wait.png"},
    {"csPlaying", "btn_status_playing.png"},
    {"csOver", "btn_status_over.png"},
}};

const StateRow& State(int status) {
    return status >= 0 && status < static_cast<int>(kStates.size()) ? kStates[status] : kStates[0];
}

}  // namespace

int ShownStatus(const LessonInfo& lesson) {
    if (lesson.lessonDownRate >= kFinishedRate && lesson.lessonStatus != csPlaying) {
        return csOver;
    }
    return lesson.lessonStatus;
}

const char* StateName(int status) {
    return State(status).name;
}

const char* StatusImage(int status) {
    return State(status).image;
}

int StatusFromStateName(std::string_view name) {
    for (std::size_t i = 1; i < kStates.size(); ++i) {
        if (name == kStates[i].name) {
            return static_cast<int>(i);
        }
    }
    return csStop;
}

std::u16string ProgressText(double rate) {
    char text[32];
    std::snprintf(text, sizeof(text), "%6d%%", static_cast<int>(rate));
    return Utf8ToWide(text);
}

int CourseAreaHeight(std::size_t courses) {
    const std::size_t height = kCourseRowHeight * courses;
    return height <= kCourseAreaMax - kCourseAreaPadding
               ? static_cast<int>(height) + kCourseAreaPadding
               : kCourseAreaMax;
}

RefreshPlan PlanRefresh(const std::vector<std::u16string>& rows, std::vector<LessonInfo> fresh) {
    RefreshPlan plan;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        auto found = std::find_if(fresh.begin(), fresh.end(), [&](const LessonInfo& lesson) {
            return lesson.lessonUid == rows[row];
        });
        if (found == fresh.end()) {
            plan.removed.push_back(row);
            continue;
        }
        plan.updates.emplace_back(row, std::move(*found));
        fresh.erase(found);
    }
    plan.added = std::move(fresh);
    return plan;
}

StatusDecision DecideStatus(int shown, double rate, int wanted) {
    StatusDecision decision;
    if (shown == wanted || shown == csOver) {
        decision.result = shown;
        return decision;
    }
    if (shown == csPlaying && rate >= kFinishedRate) {
        decision.result = csOver;
        return decision;
    }
    decision.send = true;
    decision.result = shown;  // should the downloader refuse
    // A playing lesson's status is settled by the next refresh.
    decision.showWanted = shown != csPlaying;
    return decision;
}

BatchPlan PlanBatch(const std::vector<TickedRow>& ticked, int wanted) {
    BatchPlan plan;
    for (const TickedRow& row : ticked) {
        if (row.shown == wanted || row.shown == csOver) {
            continue;
        }
        if (row.shown == csPlaying) {
            if (row.rate < kFinishedRate) {
                plan.lessons.push_back(row.lessonUid);
            }
            continue;
        }
        plan.lessons.push_back(row.lessonUid);
        plan.showWanted.push_back(row.row);
    }
    return plan;
}

}  // namespace LessonListRules
