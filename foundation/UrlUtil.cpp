#include "foundation/UrlUtil.h"

#include "foundation/TextUtil.h"

namespace {

constexpr int kLargestPort = 65535;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsWhiteSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void AppendEscaped(std::string& out, unsigned char c) {
    out += '%';
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
}

}  // namespace

std::string UrlEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else if (IsWhiteSpace(c)) {
            out += "%20";
        } else {
            AppendEscaped(out, c);
        }
    }
    return out;
}

std::string UrlEncodeQuery(std::string_view text, QuerySpace space) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsAsciiAlnum(c) || c == ',' || c == '-' || c == '.' || c == ':' || c == '_' ||
            c == '|') {
            out += ch;
        } else if (c == ' ' && space == QuerySpace::kPlus) {
            out += '+';
        } else {
            AppendEscaped(out, c);
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text, PercentStyle style) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
            continue;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        size_t following = text.size() - i - 1;
        int high = following >= 1 ? HexDigitValue(text[i + 1]) : -1;
        int low = following >= 2 ? HexDigitValue(text[i + 2]) : -1;
        if (following >= 2 && high >= 0 && low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (style == PercentStyle::kLenient) {
            out += c;
        } else if (following < 2) {
            // Fewer than two bytes follow: the "%" is dropped.
        } else if (high < 0) {
            if (style == PercentStyle::kRequestPath) {
                out += c;  // not an escape at all: keep the "%" and read on
            }
        } else {
            out += static_cast<char>(high * 16);
            i += 2;
        }
    }
    return out;
}

int SplitHostPortPath(std::string_view url, std::string& host, int& port, std::string& path) {
    constexpr std::string_view kSchemeEnd = "://";
    if (size_t scheme = url.find(kSchemeEnd); scheme != std::string_view::npos) {
        url.remove_prefix(scheme + kSchemeEnd.size());
    }
    size_t slash = url.find('/');
    size_t colon = url.find(':');
    if (colon != std::string_view::npos && slash != std::string_view::npos && colon > slash) {
        colon = std::string_view::npos;  // a ":" inside the path is not a port
    }
    std::string_view authorityEnd = url.substr(0, slash);
    host = std::string(authorityEnd.substr(0, colon));

    port = kDefaultHttpPort;
    if (colon != std::string_view::npos) {
        std::string_view digits = authorityEnd.substr(colon + 1);
        // Like atoi: the leading digits count, whatever follows them.
        long value = 0;
        for (size_t i = 0; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
            value = value * 10 + (digits[i] - '0');
            if (value > kLargestPort) {
                break;
            }
        }
        if (value > 0 && value <= kLargestPort) {
            port = static_cast<int>(value);
        }
    }
    path = slash == std::string_view::npos ? std::string("/") : std::string(url.substr(slash));
    return host.empty() ? -1 : 0;
}
