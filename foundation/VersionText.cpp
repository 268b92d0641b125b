#include "foundation/VersionText.h"

#include <cstdio>
#include <cstring>

#include "foundation/Version.h"

std::string BuildDateText(const char* compilerDate) {
    static constexpr const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char month[4] = {};
    int day = 0;
    int year = 0;
    if (std::sscanf(compilerDate, "%3s %d %d", month, &day, &year) != 3 ||
        std::strlen(month) != 3) {
        return {};
    }
    const char* found = std::strstr(kMonths, month);
    if (found == nullptr || (found - kMonths) % 3 != 0) {
        return {};
    }
    const int monthNumber = static_cast<int>(found - kMonths) / 3 + 1;
    char text[16];
    std::snprintf(text, sizeof(text), "%04d/%02d/%02d ", year, monthNumber, day);
    return text;
}

std::string ClientVersionText() {
    return std::string(kClientVersion) + "   " + BuildDateText(__DATE__);
}
