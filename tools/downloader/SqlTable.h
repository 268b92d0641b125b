#pragma once

#include <string>
#include <vector>

// The outcome of one SQL statement as the downloader reports it: the SQLite
// result code (0 when it ran), its message and every row as text.
struct SqlTable {
    int retCode = 0;
    std::string message;
    int columnCount = 0;
    std::vector<std::vector<std::string>> rows;
};
