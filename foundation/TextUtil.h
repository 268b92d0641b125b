#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Encoding.h"

// Small string helpers shared by every part of the client. Byte oriented: a
// "character" below is a byte of the narrow text.

// The first n bytes (n < 0 counts as 0; n beyond the length gives the whole text).
std::string LeftPart(std::string_view text, int n);
// From byte index `from` to the end; empty when `from` is at or past the end.
// A negative index counts as 0.
std::string RightPart(std::string_view text, int from);

// Only the space character.
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
// Spaces, tabs, carriage returns and line feeds on both ends.
std::string Trim(std::string_view text);

// Replaces every occurrence, going on after the inserted text (a replacement
// that contains `find` is not replaced again). An empty `find` replaces
// nothing. Returns the count.
int ReplaceAll(std::string& text, std::string_view find, std::string_view replacement);
// A value for a place between single quotes in an SQL statement: every quote
// doubled, so values holding quotes are stored intact.
std::string SqlQuoted(std::string_view value);
// Returns how many backslashes became "/".
int BackslashesToSlashes(std::u16string& text);

// printf-style formatting into a string of whatever length it needs.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatStringV(const char* format, va_list args);

// The wide form: the format is UTF-16 and "%s" takes UTF-16 text (a
// std::u16string or a const char16_t*), as the wide printf family does. The
// text is formatted as UTF-8, so widths and precisions of "%s" count bytes.
namespace format_detail {
std::string Unchecked(const char* format, ...);
inline std::string Hold(const std::u16string& text) {
    return WideToUtf8(text);
}
inline std::string Hold(const char16_t* text) {
    return text ? WideToUtf8(text) : "(null)";
}
template <typename T>
T Hold(T value) {
    return value;
}
inline const char* Pass(const std::string& held) {
    return held.c_str();
}
template <typename T>
T Pass(T value) {
    return value;
}
}  // namespace format_detail

template <typename... Args>
std::u16string FormatString(const char16_t* format, const Args&... args) {
    using namespace format_detail;
    return Utf8ToWide(Unchecked(WideToUtf8(format).c_str(), Pass(Hold(args))...));
}

// printf-style formatting cut at kFormatBoundedSize - 1 bytes, for texts that
// must stay bounded whatever the arguments hold (log lines). An empty or null
// format gives an empty text.
constexpr size_t kFormatBoundedSize = 10240;
std::string FormatBounded(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Leading spaces and tabs are skipped; then an optional sign and decimal
// digits. Anything else gives 0. Values beyond the 64-bit range saturate.
int64_t ParseInt64(std::string_view text);

// The value of one hexadecimal digit (either letter case), or -1.
int HexDigitValue(char c);

// Letter case of ASCII letters only, whatever the process locale says: names
// on the wire and in files must compare the same in every locale (a GBK or
// Turkish one included), and bytes of multi-byte text are never touched.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Local time now as "YYYY-MM-DD hh:mm:ss.mmm".
std::string TimestampText();

// A byte count for people: "%8dB", "%8.1fKB", "%8.1fMB" or "%8.1fGB". Negative
// counts are shown in bytes; counts above 4,294,967,295 give an empty text.
std::u16string FormatSize(int64_t bytes);
