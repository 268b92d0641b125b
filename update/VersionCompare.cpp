#include "update/VersionCompare.h"

#include <cstdlib>
#include <string>

#include "foundation/Encoding.h"

namespace {

// The number at the start of the text, read like atoi.
long long LeadingNumber(std::u16string_view text) {
    const std::string narrow = WideToUtf8(text);
    return std::strtoll(narrow.c_str(), nullptr, 10);
}

}  // namespace

int CompareVersions(std::u16string_view a, std::u16string_view b) {
    if (a.empty()) {
        return b.empty() ? 0 : -1;
    }
    if (b.empty()) {
        return 1;
    }
    size_t posA = 0;
    size_t posB = 0;
    for (;;) {
        const long long numberA = LeadingNumber(a.substr(posA));
        const long long numberB = LeadingNumber(b.substr(posB));
        if (numberA != numberB) {
            return numberA > numberB ? 1 : -1;
        }
        const size_t dotA = a.find(u'.', posA);
        const size_t dotB = b.find(u'.', posB);
        if (dotA == std::u16string_view::npos) {
            return dotB == std::u16string_view::npos ? 0 : -1;
        }
        if (dotB == std::u16string_view::npos) {
            return 1;
        }
        posA = dotA + 1;
        posB = dotB + 1;
    }
}
