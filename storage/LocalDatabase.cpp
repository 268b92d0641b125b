#include "storage/LocalDatabase.h"

#include <sqlite3.h>

#include <mutex>

namespace {

std::mutex& DatabaseLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void LocalDatabase::SetPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(DatabaseLock());
    m_path = path;
}

std::string LocalDatabase::Path() const {
    std::lock_guard<std::mutex> guard(DatabaseLock());
    return m_path;
}

ExecSqlResult LocalDatabase::Exec(const std::string& statement) {
    std::lock_guard<std::mutex> guard(DatabaseLock());
    ExecSqlResult result;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        result.retCode = -1;
        result.message = "Open failed";
        return result;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_stmt* prepared = nullptr;
    int code = sqlite3_prepare_v2(db, statement.c_str(), -1, &prepared, nullptr);
    if (code == SQLITE_OK) {
        result.columnCount = sqlite3_column_count(prepared);
        while ((code = sqlite3_step(prepared)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int column = 0; column < result.columnCount; ++column) {
                const unsigned char* text = sqlite3_column_text(prepared, column);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            result.rows.push_back(std::move(row));
        }
        if (code == SQLITE_DONE) {
            code = SQLITE_OK;
        }
    }
    if (code != SQLITE_OK) {
        result.retCode = code;
        result.message = sqlite3_errmsg(db);
    }
    result.rowCount = static_cast<int>(result.rows.size());
    sqlite3_finalize(prepared);
    sqlite3_close(db);
    return result;
}
