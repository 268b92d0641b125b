#pragma once

#include <string>
#include <string_view>

// The process-wide "ANSI code page": the narrow encoding of file paths, SQL text
// and most internal text. By default it is the locale's codeset (UTF-8 on most
// Linux systems); sites whose peers expect a legacy code page (for instance
// GBK) set it with QORVANE_CODEPAGE or SetAnsiCodePage.
constexpr const char* kCodePageEnvironment = "QORVANE_CODEPAGE";

// An empty name goes back to the default. A name iconv does not know is refused
// (false) and the code page stays as it was.
bool SetAnsiCodePage(const std::string& name);
std::string AnsiCodePage();
// True when the current code page is UTF-8 (whatever spelling it was given in).
bool AnsiIsUtf8();

// Conversions through iconv. Wide text is UTF-16 in host byte order, always
// std::u16string. Bytes that do not decode, and characters the target cannot
// represent, become "?" one for one: never dropped silently, never a failure of
// the whole text. Every narrow-to-narrow conversion passes through UTF-16.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::string WideToAnsi(std::u16string_view wide);
std::string WideToUtf8(std::u16string_view wide);
std::u16string Utf8ToWide(std::string_view utf8);
std::u16string AnsiToWide(std::string_view ansi);

// Buffer forms for callers that own a fixed buffer. The text is NUL-terminated.
// With a buffer: the converted length including the terminator, or 0 when the
// text is null or the result (with its terminator) does not fit in size bytes;
// nothing is written then. Without a buffer (null): the length needed.
int Utf8ToAnsiBuffer(const char* utf8, char* buffer, int size);
int AnsiToUtf8Buffer(const char* ansi, char* buffer, int size);

// The client's own UTF-8 test, used to guess the encoding of text of unknown
// origin. Deliberately looser than standard UTF-8: it checks only the shape of
// each sequence (lead byte, count of continuation bytes), so overlong forms,
// surrogates, code points above U+10FFFF and the old 5- and 6-byte forms pass.
// Lead bytes 0xF8 and above take four continuation bytes, except 0xFC and 0xFD
// which take five. Text without any byte of 0x80 or more is NOT UTF-8 here:
// pure ASCII reads the same in every code page we use, so it never needs
// converting.
bool IsUtf8(std::string_view text);
// length <= 0: the NUL-terminated text is measured. A null text is not UTF-8.
bool IsUtf8(const char* text, int length);

// Text IsUtf8 accepts is converted to the ANSI code page; other text unchanged.
std::string ToAnsiIfUtf8(std::string_view text);
// Text IsUtf8 rejects is taken as ANSI and converted to UTF-8; UTF-8 unchanged.
std::string ToUtf8IfNeeded(std::string_view text);
