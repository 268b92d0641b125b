#pragma once

#include <httplib.h>

#include <atomic>
#include <string>

#include "tools/downloader/LessonDatabase.h"
#include "tools/downloader/PaperReporter.h"
#include "tools/standin/Journal.h"

// "/EXAMREQUEST.KIVO": "SubmitFile" keeps a copy of the learner's document and
// uploads it to its original address on the platform; "RestartExam" (with or
// without Channel) is recorded and, when a reporter is given, played. Answers are JSON arrays
// holding one object with the string errorCode: "0" stored (and uploaded when an address was
// given), "-1" not stored (bad arguments, unreadable file), "-2" stored but
// the upload failed.
class ExamRoutes {
public:
    static constexpr int kUploadTimeoutSec = 60;

    ExamRoutes(LessonDatabase& database, Journal& journal, std::string submittedDir,
               PaperReporter* papers);

    void Handle(const httplib::Request& request, httplib::Response& response);

private:
    void SubmitFile(const httplib::Request& request, httplib::Response& response);
    bool Upload(const std::string& url, const std::string& bytes, const std::string& name);

    LessonDatabase& m_database;
    Journal& m_journal;
    std::string m_submittedDir;
    PaperReporter* m_papers;
    std::atomic<int> m_counter{0};
};
