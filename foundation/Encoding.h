#pragma once

#include <string>
#include <string_view>

// The process-wide "ANSI code page": the narrow encoding of file paths, SQL text
// and most internal text. By default it is the locale's codeset (UTF-8 on most
// Linux systems); sites whose peers expect a legacy code page (for instance
// GBK) set it with QORVANE_CODEPAGE or SetAnsiCodePage.
constexpr const char* kCodePageEnvironment = "QORVANE_CODEPAGE";

void SetAnsiCodePage(const std::string& name);
std::string AnsiCodePage();

// Conversions through iconv. Bytes that do not convert are replaced by "?"
// (never dropped silently, never a failure of the whole text).
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
