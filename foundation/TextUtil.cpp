#include "foundation/TextUtil.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

constexpr int64_t kKiloByte = 1024;
constexpr int64_t kMegaByte = 1024 * kKiloByte;
constexpr int64_t kGigaByte = 1024 * kMegaByte;
constexpr int64_t kLargestShownSize = 4294967295LL;

bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string LeftPart(std::string_view text, int n) {
    if (n <= 0) {
        return {};
    }
    return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string RightPart(std::string_view text, int from) {
    size_t start = from < 0 ? 0 : static_cast<size_t>(from);
    if (start >= text.size()) {
        return {};
    }
    return std::string(text.substr(start));
}

std::string TrimLeft(std::string_view text) {
    size_t start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
    size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string Trim(std::string_view text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && IsTrimmed(text[start])) {
        ++start;
    }
    while (end > start && IsTrimmed(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(start, end - start));
}

std::string SqlQuoted(std::string_view value) {
    std::string text(value);
    ReplaceAll(text, "'", "''");
    return text;
}

int ReplaceAll(std::string& text, std::string_view find, std::string_view replacement) {
    if (find.empty()) {
        return 0;
    }
    int count = 0;
    size_t at = 0;
    while ((at = text.find(find, at)) != std::string::npos) {
        text.replace(at, find.size(), replacement);
        at += replacement.size();
        ++count;
    }
    return count;
}

int BackslashesToSlashes(std::u16string& text) {
    int count = 0;
    for (char16_t& unit : text) {
        if (unit == u'\\') {
            unit = u'/';
            ++count;
        }
    }
    return count;
}

std::string FormatStringV(const char* format, va_list args) {
    if (!format) {
        return {};
    }
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(length), '\0');
    // The string owns length + 1 bytes: room for vsnprintf's terminator.
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatStringV(format, args);
    va_end(args);
    return out;
}

namespace format_detail {
std::string Unchecked(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatStringV(format, args);
    va_end(args);
    return out;
}
}  // namespace format_detail

std::string FormatBounded(const char* format, ...) {
    if (!format || !*format) {
        return {};
    }
    char buffer[kFormatBoundedSize];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, std::min(static_cast<size_t>(length), sizeof buffer - 1));
}

int64_t ParseInt64(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate towards the sign so that INT64_MIN itself is reachable.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (negative) {
            if (value < (std::numeric_limits<int64_t>::min() + digit) / 10) {
                return std::numeric_limits<int64_t>::min();
            }
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) {
                return std::numeric_limits<int64_t>::max();
            }
            value = value * 10 + digit;
        }
    }
    return value;
}

std::string TimestampText() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return FormatString("%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                        static_cast<int>(now.tv_usec / 1000));
}

std::u16string FormatSize(int64_t bytes) {
    std::string text;
    if (bytes < kKiloByte) {
        text = FormatString("%8lldB", static_cast<long long>(bytes));
    } else if (bytes < kMegaByte) {
        text = FormatString("%8.1fKB", static_cast<double>(bytes) / kKiloByte);
    } else if (bytes < kGigaByte) {
        text = FormatString("%8.1fMB", static_cast<double>(bytes) / kMegaByte);
    } else if (bytes <= kLargestShownSize) {
        text = FormatString("%8.1fGB", static_cast<double>(bytes) / kGigaByte);
    }
    return std::u16string(text.begin(), text.end());
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = UpperAscii(c);
    }
    return out;
}
