#pragma once

#include <string>
#include <vector>

// The answer to one SQL statement, from our own database or the
// downloader's. Cells are UTF-8.
struct ExecSqlResult {
    int retCode = 0;
    std::string message;
    int rowCount = 0;
    int columnCount = 0;
    std::vector<std::vector<std::string>> rows;

    void Reset() { *this = ExecSqlResult{}; }
};
