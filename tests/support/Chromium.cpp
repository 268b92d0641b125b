#include "tests/support/Chromium.h"

#include <cstdlib>

#include "tests/support/Files.h"

namespace {

constexpr int kBrowserBudgetMs = 5000;
constexpr int kBrowserTimeoutSec = 90;

}  // namespace

bool HaveChromium() {
    return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

std::string LoadInChromium(const TempDir& dir, const std::string& url) {
    const std::string out = dir.file("dom.html");
    std::string command = "timeout " + std::to_string(kBrowserTimeoutSec) +
                          " chromium --headless --no-sandbox --disable-gpu --no-first-run"
                          " --user-data-dir='" +
                          dir.file("profile") + "'" +
                          " --virtual-time-budget=" + std::to_string(kBrowserBudgetMs) +
                          " --dump-dom '" + url + "' >'" + out + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return ReadWholeFile(out);
}
