#pragma once

#include <string>
#include <string_view>

// Percent-encoding for file URLs: ASCII letters, digits and "-._~" are kept,
// white space (space, tab, line breaks, vertical tab, form feed) becomes "%20",
// every other byte "%XX" with upper-case digits.
std::string UrlEncode(std::string_view text);

// Percent-encoding for query values: ASCII letters, digits and ",-.:_|" are
// kept, every other byte becomes "%XX" with upper-case digits.
std::string UrlEncodeQuery(std::string_view text);

constexpr int kDefaultHttpPort = 80;

// Splits "scheme://host:port/path" (scheme, port and path optional). The port
// is the number its leading digits spell, kDefaultHttpPort when that is
// absent or not from 1 to 65535; the path is
// "/" when absent. Returns 0 when the host is not empty, -1 otherwise.
int SplitHostPortPath(std::string_view url, std::string& host, int& port, std::string& path);
