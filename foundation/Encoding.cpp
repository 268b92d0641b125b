#include "foundation/Encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <utility>

#include "foundation/TextUtil.h"

namespace {

constexpr const char* kWideName =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kUtf8Name = "UTF-8";
constexpr char kReplacement = '?';
// Each thread keeps its open converters; a handful of code pages is all a
// process ever uses, so past this many the cache is simply emptied.
constexpr size_t kMaxCachedConverters = 16;

std::mutex g_codePageLock;
std::string g_codePage;

bool NameIsUtf8(const std::string& name) {
    std::string letters;
    for (char c : name) {
        if (c != '-' && c != '_') {
            letters += c;
        }
    }
    return EqualsIgnoreCase(letters, "UTF8");
}

bool IconvKnows(const std::string& name) {
    iconv_t cd = iconv_open(name.c_str(), kWideName);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(cd);
    return true;
}

std::string DefaultCodePage() {
    if (const char* forced = std::getenv(kCodePageEnvironment); forced && *forced) {
        if (IconvKnows(forced)) {
            return forced;
        }
    }
    // The C locale's codeset would be ASCII; ask the user's locale instead.
    locale_t userLocale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    std::string codeset = kUtf8Name;
    if (userLocale != static_cast<locale_t>(0)) {
        const char* name = nl_langinfo_l(CODESET, userLocale);
        if (name && *name && std::string(name) != "ANSI_X3.4-1968") {
            codeset = name;
        }
        freelocale(userLocale);
    }
    return codeset;
}

class ConverterCache {
public:
    ~ConverterCache() { Clear(); }

    // Null when iconv cannot convert between the two; the handle stays owned
    // by the cache.
    iconv_t Get(const std::string& to, const std::string& from) {
        auto key = std::make_pair(to, from);
        if (auto found = m_open.find(key); found != m_open.end()) {
            iconv(found->second, nullptr, nullptr, nullptr, nullptr);
            return found->second;
        }
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return nullptr;
        }
        if (m_open.size() >= kMaxCachedConverters) {
            Clear();
        }
        m_open.emplace(std::move(key), cd);
        return cd;
    }

private:
    void Clear() {
        for (auto& entry : m_open) {
            iconv_close(entry.second);
        }
        m_open.clear();
    }

    std::map<std::pair<std::string, std::string>, iconv_t> m_open;
};

iconv_t Converter(const std::string& to, const std::string& from) {
    thread_local ConverterCache cache;
    return cache.Get(to, from);
}

// Runs iconv over the whole input into a growing byte buffer. On a sequence
// that does not convert, onBad(input position, bytes left) says how many input
// bytes to skip; a replacement is written in their place.
template <typename SkipRule>
std::string RunIconv(iconv_t cd, const char* input, size_t length, std::string_view replacement,
                     SkipRule onBad) {
    std::string out;
    out.resize(length * 2 + 16);
    char* in = const_cast<char*>(input);
    size_t inLeft = length;
    char* dst = out.data();
    size_t outLeft = out.size();
    auto grow = [&](size_t atLeast) {
        size_t used = dst - out.data();
        out.resize(std::max(out.size() * 2, used + atLeast));
        dst = out.data() + used;
        outLeft = out.size() - used;
    };
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            grow(16);
            continue;
        }
        // EILSEQ or EINVAL (an incomplete sequence at the end): mark and go on.
        if (outLeft < replacement.size()) {
            grow(replacement.size());
        }
        std::memcpy(dst, replacement.data(), replacement.size());
        dst += replacement.size();
        outLeft -= replacement.size();
        size_t skip = std::min(inLeft, onBad(in, inLeft));
        in += skip;
        inLeft -= skip;
    }
    while (iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1) &&
           errno == E2BIG) {
        grow(16);
    }
    out.resize(dst - out.data());
    return out;
}

std::u16string Decode(std::string_view bytes, const std::string& from) {
    if (bytes.empty()) {
        return {};
    }
    iconv_t cd = Converter(kWideName, from);
    if (!cd) {
        // An unknown code page was refused when it was set; this is only the
        // locale's own codeset failing, so read the bytes as Latin-1.
        std::u16string latin;
        for (char c : bytes) {
            latin += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
        return latin;
    }
    const char16_t question = kReplacement;
    std::string raw = RunIconv(cd, bytes.data(), bytes.size(),
                               std::string_view(reinterpret_cast<const char*>(&question), 2),
                               [](const char*, size_t) { return size_t{1}; });
    std::u16string wide(raw.size() / 2, u'\0');
    std::memcpy(wide.data(), raw.data(), wide.size() * 2);
    return wide;
}

std::string Encode(std::u16string_view wide, const std::string& to) {
    if (wide.empty()) {
        return {};
    }
    iconv_t cd = Converter(to, kWideName);
    if (!cd) {
        std::string narrow;
        for (char16_t unit : wide) {
            narrow += unit < 0x80 ? static_cast<char>(unit) : kReplacement;
        }
        return narrow;
    }
    // A character the target lacks is one code point: a surrogate pair is
    // skipped whole, so it becomes one "?" and not two.
    auto skip = [](const char* at, size_t left) -> size_t {
        char16_t unit;
        std::memcpy(&unit, at, 2);
        if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
            char16_t next;
            std::memcpy(&next, at + 2, 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                return 4;
            }
        }
        return 2;
    };
    return RunIconv(cd, reinterpret_cast<const char*>(wide.data()), wide.size() * 2,
                    std::string_view(&kReplacement, 1), skip);
}

// Standard (RFC 3629) UTF-8: what iconv accepts without a replacement.
bool IsWellFormedUtf8(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        unsigned char c = text[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                low = 0xA0;
            if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i <= extra) {
            return false;
        }
        unsigned char second = text[i + 1];
        if (second < low || second > high) {
            return false;
        }
        for (size_t k = 2; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

std::string Recode(std::string_view text, const std::string& from, const std::string& to) {
    if (text.empty()) {
        return {};
    }
    if (NameIsUtf8(from) && NameIsUtf8(to) && IsWellFormedUtf8(text)) {
        return std::string(text);
    }
    return Encode(Decode(text, from), to);
}

int IntoBuffer(const char* text, char* buffer, int size, std::string (*convert)(std::string_view)) {
    if (!text) {
        return 0;
    }
    std::string converted = convert(text);
    if (converted.size() + 1 > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return 0;
    }
    int needed = static_cast<int>(converted.size()) + 1;
    if (!buffer) {
        return needed;
    }
    if (size < needed) {
        return 0;
    }
    std::memcpy(buffer, converted.c_str(), needed);
    return needed;
}

}  // namespace

bool SetAnsiCodePage(const std::string& name) {
    std::string chosen = name.empty() ? DefaultCodePage() : name;
    if (!IconvKnows(chosen)) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_codePageLock);
    g_codePage = chosen;
    return true;
}

std::string AnsiCodePage() {
    std::lock_guard<std::mutex> guard(g_codePageLock);
    if (g_codePage.empty()) {
        g_codePage = DefaultCodePage();
    }
    return g_codePage;
}

bool AnsiIsUtf8() {
    return NameIsUtf8(AnsiCodePage());
}

std::string AnsiToUtf8(std::string_view ansi) {
    return Recode(ansi, AnsiCodePage(), kUtf8Name);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return Recode(utf8, kUtf8Name, AnsiCodePage());
}

std::string WideToAnsi(std::u16string_view wide) {
    return Encode(wide, AnsiCodePage());
}

std::string WideToUtf8(std::u16string_view wide) {
    return Encode(wide, kUtf8Name);
}

std::u16string Utf8ToWide(std::string_view utf8) {
    return Decode(utf8, kUtf8Name);
}

std::u16string AnsiToWide(std::string_view ansi) {
    return Decode(ansi, AnsiCodePage());
}

int Utf8ToAnsiBuffer(const char* utf8, char* buffer, int size) {
    return IntoBuffer(utf8, buffer, size, &Utf8ToAnsi);
}

int AnsiToUtf8Buffer(const char* ansi, char* buffer, int size) {
    return IntoBuffer(ansi, buffer, size, &AnsiToUtf8);
}

bool IsUtf8(std::string_view text) {
    bool sawHighByte = false;
    int pending = 0;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (pending > 0) {
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            --pending;
            continue;
        }
        if (c < 0x80) {
            continue;
        }
        sawHighByte = true;
        if (c < 0xC0) {
            return false;
        } else if (c < 0xE0) {
            pending = 1;
        } else if (c < 0xF0) {
            pending = 2;
        } else if (c < 0xF8) {
            pending = 3;
        } else if (c == 0xFC || c == 0xFD) {
            pending = 5;
        } else {
            pending = 4;
        }
    }
    return pending == 0 && sawHighByte;
}

bool IsUtf8(const char* text, int length) {
    if (!text) {
        return false;
    }
    return IsUtf8(length > 0 ? std::string_view(text, length) : std::string_view(text));
}

std::string ToAnsiIfUtf8(std::string_view text) {
    return IsUtf8(text) ? Utf8ToAnsi(text) : std::string(text);
}

std::string ToUtf8IfNeeded(std::string_view text) {
    return IsUtf8(text) ? std::string(text) : AnsiToUtf8(text);
}
