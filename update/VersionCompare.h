#pragma once

#include <string_view>

// 1 when a is the newer version, -1 when b is, 0 when they are equal.
// Components are read like atoi (trailing non-digits ignored) and compared
// one by one; the text with more "."-separated parts is newer when all the
// compared parts are equal, so "2.3.1" is older than "2.3.1.17".
int CompareVersions(std::u16string_view a, std::u16string_view b);
