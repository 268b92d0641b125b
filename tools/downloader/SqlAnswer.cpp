#include "tools/downloader/SqlAnswer.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr char kSeparatorAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr const char* kCloseTag = "</SqlResult>";

bool SameTable(const SqlTable& a, const SqlTable& b) {
    return a.retCode == b.retCode && a.message == b.message && a.columnCount == b.columnCount &&
           a.rows == b.rows;
}

}  // namespace

std::string SqlAnswer::NewSeparator(std::mt19937_64& random) {
    std::uniform_int_distribution<size_t> pick(0, sizeof(kSeparatorAlphabet) - 2);
    std::string separator;
    for (size_t i = 0; i < kSeparatorLength; ++i) {
        separator += kSeparatorAlphabet[pick(random)];
    }
    return separator;
}

std::string SqlAnswer::Separated(const std::string& separator, const SqlTable& table) {
    std::string text = separator;
    auto field = [&](const std::string& value) { text += value + separator; };
    field(std::to_string(table.retCode));
    field(table.message);
    field(std::to_string(table.rows.size()));
    field(std::to_string(table.columnCount));
    for (const auto& row : table.rows) {
        for (const std::string& cell : row) {
            field(cell);
        }
    }
    return text;
}

bool SqlAnswer::ReadSeparated(const std::string& text, SqlTable& table) {
    table = SqlTable{};
    if (text.size() <= kSeparatorLength) {
        return false;
    }
    const std::string separator = text.substr(0, kSeparatorLength);
    size_t pos = kSeparatorLength;
    auto next = [&](std::string& out) {
        size_t end = text.find(separator, pos);
        if (end == std::string::npos) {
            return false;
        }
        out = text.substr(pos, end - pos);
        pos = end + kSeparatorLength;
        return true;
    };
    std::string retCode, rowCount, columnCount;
    if (!next(retCode) || !next(table.message) || !next(rowCount) || !next(columnCount)) {
        table = SqlTable{};
        return false;
    }
    table.retCode = std::atoi(retCode.c_str());
    table.columnCount = std::atoi(columnCount.c_str());
    int rows = std::atoi(rowCount.c_str());
    for (int r = 0; r < rows; ++r) {
        std::vector<std::string> row(static_cast<size_t>(std::max(0, table.columnCount)));
        for (std::string& cell : row) {
            if (!next(cell)) {
                table = SqlTable{};
                return false;
            }
        }
        table.rows.push_back(std::move(row));
    }
    return true;
}

// Readers take the element's text up to the first closing tag and unwrap one
// CDATA section without further unescaping, so CDATA keeps every value
// exact. Only a value that holds the closing tag itself needs "<" and ">"
// escaped instead.
std::string SqlAnswer::Wrap(const std::string& text) {
    if (text.find(kCloseTag) == std::string::npos) {
        return "<![CDATA[" + text + "]]>";
    }
    std::string escaped;
    for (char c : text) {
        if (c == '<') {
            escaped += "&lt;";
        } else if (c == '>') {
            escaped += "&gt;";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string SqlAnswer::Build(int retn, const SqlTable& table) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::string separated;
    // A separator that also occurs inside a value (or straddles a value and
    // itself) would cut the table wrongly; read each candidate back and take
    // the first that survives.
    for (int attempt = 0; attempt < kSeparatorAttempts; ++attempt) {
        separated = Separated(NewSeparator(random), table);
        SqlTable check;
        if (ReadSeparated(separated, check) && SameTable(check, table)) {
            break;
        }
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Result><Retn>" + std::to_string(retn) +
           "</Retn><SqlResult>" + Wrap(separated) + "</SqlResult></Result>";
}
