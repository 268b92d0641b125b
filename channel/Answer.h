#pragma once

#include <string>
#include <string_view>

#include "foundation/UrlUtil.h"  // PercentDecode, used with every answer
#include "foundation/Version.h"

constexpr const char* kDefaultCallback = "callback";


// The callback name is written into a script the page runs, so only the
// characters of a script identifier or a dotted/indexed path may pass:
// ASCII letters, digits, "_", "$", ".", "[" and "]". Empty becomes "callback".
std::string SanitizeCallback(std::string_view name);

// callback([{"errorCode":"<code>","errorMsg":"<message>","isSuccess":"true|false",
// "version":"<version>"}]) as UTF-8. message and version are in the narrow
// code page; callback is sanitised.
std::string BuildAnswer(int errorCode, bool success, const std::string& message,
                        const std::string& version, const std::string& callback);
