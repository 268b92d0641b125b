#include "foundation/Encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_codePageLock;
std::string g_codePage;

std::string DefaultCodePage() {
    if (const char* forced = std::getenv(kCodePageEnvironment); forced && *forced) {
        return forced;
    }
    // The C locale's codeset would be ASCII; ask the user's locale instead.
    locale_t userLocale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    std::string codeset = "UTF-8";
    if (userLocale != static_cast<locale_t>(0)) {
        const char* name = nl_langinfo_l(CODESET, userLocale);
        if (name && *name && std::string(name) != "ANSI_X3.4-1968") {
            codeset = name;
        }
        freelocale(userLocale);
    }
    return codeset;
}

std::string Convert(std::string_view text, const std::string& from, const std::string& to) {
    if (text.empty() || from == to) {
        return std::string(text);
    }
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(text);
    }
    std::string out;
    out.resize(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            size_t used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = out.size() - used;
        } else {
            // An invalid or incomplete sequence: mark it and go on.
            if (outLeft == 0) {
                size_t used = dst - out.data();
                out.resize(out.size() * 2);
                dst = out.data() + used;
                outLeft = out.size() - used;
            }
            *dst++ = '?';
            --outLeft;
            ++in;
            --inLeft;
        }
    }
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    iconv_close(cd);
    out.resize(dst - out.data());
    return out;
}

}  // namespace

void SetAnsiCodePage(const std::string& name) {
    std::lock_guard<std::mutex> guard(g_codePageLock);
    g_codePage = name.empty() ? DefaultCodePage() : name;
}

std::string AnsiCodePage() {
    std::lock_guard<std::mutex> guard(g_codePageLock);
    if (g_codePage.empty()) {
        g_codePage = DefaultCodePage();
    }
    return g_codePage;
}

std::string AnsiToUtf8(std::string_view ansi) { return Convert(ansi, AnsiCodePage(), "UTF-8"); }

std::string Utf8ToAnsi(std::string_view utf8) { return Convert(utf8, "UTF-8", AnsiCodePage()); }
