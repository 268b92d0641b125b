#include "storage/AnswerOutbox.h"

#include <sqlite3.h>

namespace {

// WAL with full synchronisation: each commit is on disk when it returns,
// without rewriting the whole database file. Checkpoints are left to the
// worker (see Checkpoint). Large pages keep a megabyte answer to few log
// frames (for a new file; an existing one keeps its page size).
constexpr const char* kSchema =
    "pragma page_size=65536;"
    "pragma journal_mode=wal;"
    "pragma synchronous=full;"
    "pragma wal_autocheckpoint=0;"
    "create table if not exists answerOutbox(userId text not null, examId text not null,"
    " answer blob not null, url text not null, path text not null, lastTime integer not null,"
    " version integer not null, primary key(userId, examId));"
    "create table if not exists answerRoute(userId text not null, examId text not null,"
    " path text not null, deliveredTime integer not null default 0,"
    " lastVersion integer not null default 0, primary key(userId, examId));";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            m_statement = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    bool Ok() const { return m_statement != nullptr; }
    void Bind(int index, const std::string& text, bool blob = false) {
        if (blob) {
            sqlite3_bind_blob(m_statement, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        }
    }
    void Bind(int index, int64_t number) { sqlite3_bind_int64(m_statement, index, number); }
    int Step() { return sqlite3_step(m_statement); }
    std::string Text(int column) {
        const void* data = sqlite3_column_blob(m_statement, column);
        int size = sqlite3_column_bytes(m_statement, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                    : std::string();
    }
    int64_t Number(int column) { return sqlite3_column_int64(m_statement, column); }

private:
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace

AnswerOutbox::~AnswerOutbox() {
    Close();
}

bool AnswerOutbox::Open(const std::string& file) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_db) {
        return true;
    }
    if (sqlite3_open_v2(file.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    // Another process (the update check) may hold the file for a moment.
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    if (!Run(kSchema)) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    std::lock_guard<std::mutex> checkpoint(m_checkpointLock);
    if (sqlite3_open_v2(file.c_str(), &m_checkpointDb,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_checkpointDb);
        m_checkpointDb = nullptr;
    } else {
        sqlite3_busy_timeout(m_checkpointDb, kBusyTimeoutMs);
        // A connection takes up the write-ahead log only once it has read
        // the file; until then a checkpoint does nothing.
        sqlite3_exec(m_checkpointDb, "pragma journal_mode=wal", nullptr, nullptr, nullptr);
    }
    return true;
}

void AnswerOutbox::Checkpoint() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_loggedBytes < kCheckpointBytes) {
            return;
        }
        m_loggedBytes = 0;
    }
    std::lock_guard<std::mutex> hold(m_checkpointLock);
    if (m_checkpointDb) {
        sqlite3_wal_checkpoint_v2(m_checkpointDb, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                  nullptr);
    }
}

void AnswerOutbox::Close() {
    {
        std::lock_guard<std::mutex> hold(m_checkpointLock);
        sqlite3_close(m_checkpointDb);
        m_checkpointDb = nullptr;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool AnswerOutbox::IsOpen() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_db != nullptr;
}

std::string AnswerOutbox::Error() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_error;
}

bool AnswerOutbox::Run(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        m_error = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool AnswerOutbox::Put(const PendingAnswer& answer) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_db || !Run("begin immediate")) {
        return false;
    }
    bool ok = false;
    {
        Statement put(m_db,
                      "replace into answerOutbox(userId, examId, answer, url, path, lastTime,"
                      " version) values(?, ?, ?, ?, ?, ?, ?)");
        Statement route(m_db,
                        "insert into answerRoute(userId, examId, path, lastVersion)"
                        " values(?1, ?2, ?3, ?4) on conflict(userId, examId) do update set"
                        " path = case when ?3 = '' then path else ?3 end, lastVersion = ?4");
        if (put.Ok() && route.Ok()) {
            put.Bind(1, answer.userUid);
            put.Bind(2, answer.examUid);
            put.Bind(3, answer.answer, true);
            put.Bind(4, answer.url);
            put.Bind(5, answer.path);
            put.Bind(6, answer.lastTime);
            put.Bind(7, static_cast<int64_t>(answer.version));
            route.Bind(1, answer.userUid);
            route.Bind(2, answer.examUid);
            route.Bind(3, answer.path);
            route.Bind(4, static_cast<int64_t>(answer.version));
            ok = put.Step() == SQLITE_DONE && route.Step() == SQLITE_DONE;
        }
    }
    if (!ok) {
        m_error = sqlite3_errmsg(m_db);
        Run("rollback");
        return false;
    }
    m_loggedBytes += answer.answer.size();
    return Run("commit");
}

bool AnswerOutbox::Retire(const PendingAnswer& answer) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_db || !Run("begin immediate")) {
        return false;
    }
    bool ok = false;
    {
        Statement remove(
            m_db, "delete from answerOutbox where userId = ? and examId = ? and version = ?");
        Statement route(m_db,
                        "insert into answerRoute(userId, examId, path, deliveredTime)"
                        " values(?1, ?2, ?3, ?4) on conflict(userId, examId) do update set"
                        " deliveredTime = max(deliveredTime, ?4)");
        if (remove.Ok() && route.Ok()) {
            remove.Bind(1, answer.userUid);
            remove.Bind(2, answer.examUid);
            remove.Bind(3, static_cast<int64_t>(answer.version));
            route.Bind(1, answer.userUid);
            route.Bind(2, answer.examUid);
            route.Bind(3, answer.path);
            route.Bind(4, answer.lastTime);
            ok = remove.Step() == SQLITE_DONE && route.Step() == SQLITE_DONE;
        }
    }
    if (!ok) {
        m_error = sqlite3_errmsg(m_db);
        Run("rollback");
        return false;
    }
    return Run("commit");
}

std::vector<PendingAnswer> AnswerOutbox::Load() {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<PendingAnswer> answers;
    if (!m_db) {
        return answers;
    }
    Statement all(m_db,
                  "select userId, examId, answer, url, path, lastTime, version from answerOutbox"
                  " order by version");
    while (all.Ok() && all.Step() == SQLITE_ROW) {
        PendingAnswer answer;
        answer.userUid = all.Text(0);
        answer.examUid = all.Text(1);
        answer.answer = all.Text(2);
        answer.url = all.Text(3);
        answer.path = all.Text(4);
        answer.lastTime = all.Number(5);
        answer.version = static_cast<uint64_t>(all.Number(6));
        answers.push_back(std::move(answer));
    }
    return answers;
}

uint64_t AnswerOutbox::LastVersion() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_db) {
        return 0;
    }
    Statement last(m_db, "select max(lastVersion) from answerRoute");
    return last.Ok() && last.Step() == SQLITE_ROW ? static_cast<uint64_t>(last.Number(0)) : 0;
}

bool AnswerOutbox::Lookup(const std::string& userUid, const std::string& examUid, std::string& path,
                          int64_t& deliveredTime) {
    std::lock_guard<std::mutex> hold(m_lock);
    path.clear();
    deliveredTime = 0;
    if (!m_db) {
        return false;
    }
    Statement find(m_db,
                   "select path, deliveredTime from answerRoute where userId = ? and examId = ?");
    if (!find.Ok()) {
        return false;
    }
    find.Bind(1, userUid);
    find.Bind(2, examUid);
    if (find.Step() == SQLITE_ROW) {
        path = find.Text(0);
        deliveredTime = find.Number(1);
    }
    return true;
}
