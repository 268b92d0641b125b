#pragma once

#include <httplib.h>

#include "tools/downloader/DownloadSimulator.h"
#include "tools/downloader/LessonDatabase.h"

// "/COURSEMANAGERREQUEST.KIVO": the course-manager methods. Arguments come in
// RequstArgs (or RequestArgs) as a JSON array holding one object; every answer
// is a JSON array holding one object with the string isSuccess.
class CourseManagerRoutes {
public:
    CourseManagerRoutes(LessonDatabase& database, DownloadSimulator& simulator);

    void Handle(const httplib::Request& request, httplib::Response& response);

private:
    LessonDatabase& m_database;
    DownloadSimulator& m_simulator;
};
