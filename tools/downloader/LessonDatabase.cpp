#include "tools/downloader/LessonDatabase.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {

const char* const kSchema =
    "create table if not exists standinSetting(name varchar primary key, value varchar);"
    "create table if not exists lesson(userUid varchar, lessonUid varchar, lessonName varchar,"
    " status int default 0, startSeq int default 0, position int default 0,"
    " primary key(userUid, lessonUid));"
    "create table if not exists course(lessonUid varchar, courseHash varchar,"
    " courseName varchar, size bigint, downloaded bigint default 0, position int default 0,"
    " primary key(lessonUid, courseHash));"
    "create table if not exists submittedFile(localPath varchar, storedPath varchar,"
    " originalUrl varchar, time bigint);"
    "create table if not exists restartRequest(channel varchar, time bigint);";

int64_t NowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    if (text == nullptr) {
        return "";
    }
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

}  // namespace

int64_t LessonRow::Size() const {
    int64_t total = 0;
    for (const CourseRow& course : courses) {
        total += course.size;
    }
    return total;
}

int64_t LessonRow::Downloaded() const {
    int64_t total = 0;
    for (const CourseRow& course : courses) {
        total += course.downloaded;
    }
    return total;
}

LessonDatabase::~LessonDatabase() {
    if (m_db != nullptr) {
        sqlite3_close(m_db);
    }
}

bool LessonDatabase::Open(const std::string& path, const std::string& seedSql) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        m_error = m_db != nullptr ? sqlite3_errmsg(m_db) : "cannot open";
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    char* message = nullptr;
    if (sqlite3_exec(m_db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        m_error = message != nullptr ? message : "schema failed";
        sqlite3_free(message);
        return false;
    }
    SqlTable count = Run("select count(*) from lesson");
    bool empty = count.retCode == 0 && !count.rows.empty() && count.rows[0][0] == "0";
    if (empty && !seedSql.empty()) {
        if (sqlite3_exec(m_db, seedSql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            m_error = std::string("seed failed: ") + (message != nullptr ? message : "");
            sqlite3_free(message);
            return false;
        }
    }
    return true;
}

SqlTable LessonDatabase::Run(const std::string& sql, const std::vector<std::string>& binds) {
    SqlTable table;
    const char* next = sql.c_str();
    const char* end = sql.c_str() + sql.size();
    while (next < end) {
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        int code = sqlite3_prepare_v2(m_db, next, static_cast<int>(end - next), &statement, &tail);
        if (code != SQLITE_OK) {
            table = SqlTable{code, sqlite3_errmsg(m_db), 0, {}};
            return table;
        }
        next = tail;
        if (statement == nullptr) {
            continue;  // blanks or a comment after the last statement
        }
        for (size_t i = 0; i < binds.size(); ++i) {
            sqlite3_bind_text(statement, static_cast<int>(i + 1), binds[i].data(),
                              static_cast<int>(binds[i].size()), SQLITE_TRANSIENT);
        }
        table = SqlTable{};
        table.columnCount = sqlite3_column_count(statement);
        while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < table.columnCount; ++c) {
                row.push_back(ColumnText(statement, c));
            }
            table.rows.push_back(std::move(row));
        }
        if (code != SQLITE_DONE) {
            table = SqlTable{code, sqlite3_errmsg(m_db), 0, {}};
            sqlite3_finalize(statement);
            return table;
        }
        sqlite3_finalize(statement);
        table.retCode = 0;
        table.message = "ok";
    }
    if (table.message.empty()) {
        table.message = "ok";
    }
    return table;
}

SqlTable LessonDatabase::Exec(const std::string& sql) {
    std::lock_guard<std::mutex> hold(m_lock);
    return Run(sql);
}

std::string LessonDatabase::CurrentUser() {
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTable table = Run("select value from standinSetting where name='curUser'");
    return table.rows.empty() ? "" : table.rows[0][0];
}

void LessonDatabase::SetCurrentUser(const std::string& user) {
    std::lock_guard<std::mutex> hold(m_lock);
    Run("replace into standinSetting(name, value) values('curUser', ?)", {user});
}

std::vector<LessonRow> LessonDatabase::Lessons(const std::string& userUid,
                                               const std::string& lessonUid) {
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTable lessons = lessonUid.empty()
                           ? Run("select lessonUid, lessonName, status from lesson where userUid=?"
                                 " order by position, lessonUid",
                                 {userUid})
                           : Run("select lessonUid, lessonName, status from lesson where userUid=?"
                                 " and lessonUid=?",
                                 {userUid, lessonUid});
    std::vector<LessonRow> result;
    for (const auto& row : lessons.rows) {
        LessonRow lesson;
        lesson.uid = row[0];
        lesson.name = row[1];
        lesson.status = std::atoi(row[2].c_str());
        SqlTable courses =
            Run("select courseHash, courseName, size, downloaded from course where lessonUid=?"
                " order by position, courseHash",
                {lesson.uid});
        for (const auto& c : courses.rows) {
            lesson.courses.push_back(
                CourseRow{c[0], c[1], std::atoll(c[2].c_str()), std::atoll(c[3].c_str())});
        }
        result.push_back(std::move(lesson));
    }
    return result;
}

bool LessonDatabase::LessonComplete(const std::string& lessonUid) {
    SqlTable left =
        Run("select count(*) from course where lessonUid=? and downloaded<size", {lessonUid});
    return left.retCode == 0 && !left.rows.empty() && left.rows[0][0] == "0";
}

int LessonDatabase::SetStatus(const std::string& userUid, const std::vector<std::string>& uids,
                              int status, bool resetProgress) {
    int changed = 0;
    for (const std::string& uid : uids) {
        SqlTable found =
            Run("select status from lesson where userUid=? and lessonUid=?", {userUid, uid});
        if (found.rows.empty()) {
            continue;
        }
        int current = std::atoi(found.rows[0][0].c_str());
        int next = status;
        if (resetProgress) {
            Run("update course set downloaded=0 where lessonUid=?", {uid});
        } else if (status == kWaiting) {
            if (current == kDownloading || current == kWaiting) {
                ++changed;  // already on its way
                continue;
            }
            next = LessonComplete(uid) ? kDone : kWaiting;
        } else if (status == kStopped && current == kDone) {
            ++changed;  // a finished lesson has nothing to stop
            continue;
        }
        Run("update lesson set status=?, startSeq=(select ifnull(max(startSeq),0)+1 from lesson)"
            " where userUid=? and lessonUid=?",
            {std::to_string(next), userUid, uid});
        ++changed;
    }
    PromoteWaiting();
    return changed;
}

void LessonDatabase::PromoteWaiting() {
    SqlTable running = Run("select count(*) from lesson where status=1");
    if (running.rows.empty() || running.rows[0][0] != "0") {
        return;
    }
    Run("update lesson set status=1 where rowid=(select rowid from lesson where status=2"
        " order by startSeq limit 1)");
}

int LessonDatabase::Start(const std::string& userUid, const std::vector<std::string>& uids) {
    std::lock_guard<std::mutex> hold(m_lock);
    return SetStatus(userUid, uids, kWaiting, false);
}

int LessonDatabase::Stop(const std::string& userUid, const std::vector<std::string>& uids) {
    std::lock_guard<std::mutex> hold(m_lock);
    return SetStatus(userUid, uids, kStopped, false);
}

int LessonDatabase::Delete(const std::string& userUid, const std::vector<std::string>& uids) {
    std::lock_guard<std::mutex> hold(m_lock);
    return SetStatus(userUid, uids, kStopped, true);
}

int LessonDatabase::DeleteAll(const std::string& userUid) {
    std::vector<std::string> uids;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const auto& row :
             Run("select lessonUid from lesson where userUid=?", {userUid}).rows) {
            uids.push_back(row[0]);
        }
    }
    return Delete(userUid, uids);
}

bool LessonDatabase::HasRunningDownload() {
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTable running = Run("select count(*) from lesson where status=1");
    return !running.rows.empty() && running.rows[0][0] != "0";
}

bool LessonDatabase::Advance(int64_t bytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTable running = Run("select lessonUid from lesson where status=1 order by startSeq limit 1");
    if (running.rows.empty()) {
        return false;
    }
    const std::string uid = running.rows[0][0];
    SqlTable courses =
        Run("select courseHash, size, downloaded from course where lessonUid=? and downloaded<size"
            " order by position, courseHash",
            {uid});
    for (const auto& course : courses.rows) {
        if (bytes <= 0) {
            break;
        }
        int64_t missing = std::atoll(course[1].c_str()) - std::atoll(course[2].c_str());
        int64_t step = std::min(missing, bytes);
        Run("update course set downloaded=downloaded+? where lessonUid=? and courseHash=?",
            {std::to_string(step), uid, course[0]});
        bytes -= step;
    }
    if (LessonComplete(uid)) {
        Run("update lesson set status=4 where lessonUid=? and status=1", {uid});
        PromoteWaiting();
    }
    SqlTable still = Run("select count(*) from lesson where status=1");
    return !still.rows.empty() && still.rows[0][0] != "0";
}

void LessonDatabase::RecordSubmittedFile(const std::string& localPath,
                                         const std::string& storedPath,
                                         const std::string& originalUrl) {
    std::lock_guard<std::mutex> hold(m_lock);
    Run("insert into submittedFile(localPath, storedPath, originalUrl, time) values(?,?,?,?)",
        {localPath, storedPath, originalUrl, std::to_string(NowSeconds())});
}

void LessonDatabase::RecordRestart(const std::string& channel) {
    std::lock_guard<std::mutex> hold(m_lock);
    Run("insert into restartRequest(channel, time) values(?,?)",
        {channel, std::to_string(NowSeconds())});
}
