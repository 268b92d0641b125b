#pragma once

#include <functional>
#include <string>

#include "tools/downloader/CourseManagerRoutes.h"
#include "tools/downloader/ExamRoutes.h"
#include "tools/downloader/LessonDatabase.h"
#include "tools/standin/StandinServer.h"

// Puts the downloader's paths on a server. Paths compare without regard to
// case and to the number of leading slashes ("//COURSEMANAGERREQUEST.KIVO").
void AddDownloaderRoutes(StandinServer& server, LessonDatabase& database,
                         CourseManagerRoutes& courses, ExamRoutes& exams,
                         const std::string& paperDir, std::function<void()> exitRequested);
