#pragma once

#include <string>

#include "storage/SqlResult.h"

// The client's own small SQLite file. Each statement opens the file, runs,
// collects every row as text and closes it again; statements and path
// changes of all instances are serialised by one lock.
class LocalDatabase {
public:
    // Another connection of the process (the answer outbox) may be writing
    // the same file; wait for it rather than fail.
    static constexpr int kBusyTimeoutMs = 5000;

    void SetPath(const std::string& path);
    std::string Path() const;

    // retCode 0 on success; -1 with "Open failed" when the file cannot be
    // opened; otherwise SQLite's result code and message. NULL cells are "".
    ExecSqlResult Exec(const std::string& statement);

private:
    std::string m_path;
};
