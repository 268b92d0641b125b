#pragma once

#include <random>
#include <string>

#include "tools/downloader/SqlTable.h"

// The answer of "/EXECSQL.KIVO": an XML text declaring utf-8 that holds the
// element Retn ("0" when a statement was given and run, "-1" otherwise) and
// the element SqlResult, whose text is the table in the separator format:
// a fresh 12-character separator, then retCode, message, rowCount,
// columnCount and every cell, each followed by the separator.
class SqlAnswer {
public:
    static constexpr size_t kSeparatorLength = 12;
    static constexpr int kSeparatorAttempts = 64;

    static std::string Build(int retn, const SqlTable& table);
    // The separator text of a table with a given separator (no XML around it).
    static std::string Separated(const std::string& separator, const SqlTable& table);
    // Reads a separated text back the way the client does; false on a missing separator.
    static bool ReadSeparated(const std::string& text, SqlTable& table);

private:
    static std::string NewSeparator(std::mt19937_64& random);
    static std::string Wrap(const std::string& text);
};
