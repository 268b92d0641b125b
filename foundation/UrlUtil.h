#pragma once

#include <string>
#include <string_view>

// Percent-encoding for file URLs: ASCII letters, digits and "-._~" are kept,
// white space (space, tab, line breaks, vertical tab, form feed) becomes "%20",
// every other byte "%XX" with upper-case digits.
std::string UrlEncode(std::string_view text);

// How a query escaper writes a space: "%20" for remote servers, "+" in the
// query strings of the loopback client (what the local peers decode).
enum class QuerySpace { kEscaped, kPlus };

// Percent-encoding for query values: ASCII letters, digits and ",-.:_|" are
// kept, a space follows `space`, every other byte becomes "%XX" with
// upper-case digits.
std::string UrlEncodeQuery(std::string_view text, QuerySpace space = QuerySpace::kEscaped);

// The three readings of "%" escapes the peers rely on. Every style turns "+"
// into a space and "%XY" with two hexadecimal digits into that byte; they
// differ on broken escapes:
//  - kLenient (channel values and paths, box addresses): anything that is not
//    a whole escape is copied as it stands;
//  - kRequestPath (the request line's path): a "%" with fewer than two bytes
//    after it is dropped, "%" before a non-hex byte is kept, "%X" before a
//    non-hex byte gives the byte X*16 and swallows the second byte;
//  - kFormValue (form-encoded values): like kRequestPath, but a "%" before a
//    non-hex byte is dropped as well.
enum class PercentStyle { kLenient, kRequestPath, kFormValue };
std::string PercentDecode(std::string_view text, PercentStyle style = PercentStyle::kLenient);

constexpr int kDefaultHttpPort = 80;

// Splits "scheme://host:port/path" (scheme, port and path optional). The port
// is the number its leading digits spell, kDefaultHttpPort when that is
// absent or not from 1 to 65535; the path is
// "/" when absent. Returns 0 when the host is not empty, -1 otherwise.
int SplitHostPortPath(std::string_view url, std::string& host, int& port, std::string& path);
