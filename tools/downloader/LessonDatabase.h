#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/downloader/SqlTable.h"

// Lesson download states as the course manager shows them.
enum LessonStatus { kStopped = 0, kDownloading = 1, kWaiting = 2, kPlaying = 3, kDone = 4 };

struct CourseRow {
    std::string hash;
    std::string name;
    int64_t size = 0;
    int64_t downloaded = 0;
};

struct LessonRow {
    std::string uid;
    std::string name;
    int status = kStopped;
    std::vector<CourseRow> courses;
    int64_t Size() const;
    int64_t Downloaded() const;
};

// The downloader's own SQLite database: the learners' lessons and their course
// files with download progress, the current user, files handed in and paper
// restarts. The client also keeps tables of its own here through ExecSql.
// One connection, serialised by one lock.
class LessonDatabase {
public:
    static constexpr int kBusyTimeoutMs = 2000;

    ~LessonDatabase();

    // Opens (creating) the file and the tables; loads the seed statements when
    // the database has no lessons yet. False with Error() set on failure.
    bool Open(const std::string& path, const std::string& seedSql);
    const std::string& Error() const { return m_error; }

    // Runs the statements of the text in order; the table holds the rows of
    // the last one. retCode is the SQLite code of the first failure.
    SqlTable Exec(const std::string& sql);

    std::string CurrentUser();
    void SetCurrentUser(const std::string& user);

    std::vector<LessonRow> Lessons(const std::string& userUid, const std::string& lessonUid = "");
    // Each returns the number of lessons changed.
    int Start(const std::string& userUid, const std::vector<std::string>& lessonUids);
    int Stop(const std::string& userUid, const std::vector<std::string>& lessonUids);
    int Delete(const std::string& userUid, const std::vector<std::string>& lessonUids);
    int DeleteAll(const std::string& userUid);

    // Moves the running download forward by up to the given bytes. Returns true
    // while a download remains running afterwards.
    bool Advance(int64_t bytes);
    bool HasRunningDownload();

    void RecordSubmittedFile(const std::string& localPath, const std::string& storedPath,
                             const std::string& originalUrl);
    void RecordRestart(const std::string& channel);

private:
    // Unlocked helpers; the caller holds m_lock.
    SqlTable Run(const std::string& sql, const std::vector<std::string>& binds = {});
    int SetStatus(const std::string& userUid, const std::vector<std::string>& lessonUids,
                  int status, bool resetProgress);
    void PromoteWaiting();
    bool LessonComplete(const std::string& lessonUid);

    std::mutex m_lock;
    sqlite3* m_db = nullptr;
    std::string m_error;
};
