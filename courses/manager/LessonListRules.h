#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "peers/downloader/DownloaderRecords.h"

// The course manager page's decisions, without widgets: what a lesson row
// shows, how a fresh lesson list merges into the rows, and which start, stop
// or delete requests a click makes.
namespace LessonListRules {

constexpr double kFinishedRate = 100.0;
constexpr int kCourseRowHeight = 25;
constexpr int kCourseAreaPadding = 10;
constexpr int kCourseAreaMax = 110;

// The status a row shows: a lesson at 100 % shows csOver unless it plays.
int ShownStatus(const LessonInfo& lesson);
// "csStop", "csDown", "csWait", "csPlaying", "csOver" and their images.
const char* StateName(int status);
const char* StatusImage(int status);
// Back from a state name; anything unknown is csStop.
int StatusFromStateName(std::string_view name);
// "%6d%%" of the rate cut to an integer.
std::u16string ProgressText(double rate);
// Height of the course area under an expanded row.
int CourseAreaHeight(std::size_t courses);

// How a fresh list changes the rows (given by their lessonUid, top to
// bottom): rows to update (row index and record), rows to remove (indexes
// of the current rows, ascending), lessons to append in order.
struct RefreshPlan {
    std::vector<std::pair<std::size_t, LessonInfo>> updates;
    std::vector<std::size_t> removed;
    std::vector<LessonInfo> added;
};
RefreshPlan PlanRefresh(const std::vector<std::u16string>& rows, std::vector<LessonInfo> fresh);

// Starting (wanted 1) or stopping (0) one row: whether to ask the downloader,
// the status to report without asking, and whether the row may show the
// wanted status once the downloader agreed.
struct StatusDecision {
    bool send = false;
    int result = 0;  // when not sent
    bool showWanted = false;
};
StatusDecision DecideStatus(int shown, double rate, int wanted);

// One ticked row for a batch start or stop.
struct TickedRow {
    std::size_t row = 0;
    std::u16string lessonUid;
    int shown = 0;
    double rate = 0.0;
};
struct BatchPlan {
    std::vector<std::u16string> lessons;  // sent in one request
    std::vector<std::size_t> showWanted;  // rows that show the wanted status at once
};
BatchPlan PlanBatch(const std::vector<TickedRow>& ticked, int wanted);

}  // namespace LessonListRules
