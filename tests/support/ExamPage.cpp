#include "tests/support/ExamPage.h"

#include <chrono>
#include <thread>

#include "tests/support/X11Session.h"

namespace ExamPage {

namespace {

constexpr const char* kNoticeColour = "(179,38,30)";
constexpr int kNoticeInset = 4;
constexpr int kSettleMs = 1000;

}  // namespace

bool IsEvent(const Json::Value& entry, const std::string& fn) {
    return entry["path"].asString() == "/demo/event" && entry["query"]["fn"].asString() == fn;
}

std::vector<std::string> EventArgs(const Json::Value& entry) {
    Json::Value args;
    Json::Reader().parse(entry["query"]["args"].asString(), args);
    std::vector<std::string> values;
    for (const Json::Value& arg : args) {
        values.push_back(arg.asString());
    }
    return values;
}

bool WaitEvent(JournalWatch& journal, const std::string& fn, const std::vector<std::string>& args,
               int timeoutMs) {
    return journal.WaitFor(
        [&](const Json::Value& entry) {
            if (!IsEvent(entry, fn)) {
                return false;
            }
            std::vector<std::string> got = EventArgs(entry);
            for (size_t i = 0; i < args.size(); ++i) {
                if (i >= got.size() || got[i] != args[i]) {
                    return false;
                }
            }
            return true;
        },
        timeoutMs);
}

std::vector<std::string> KeysSeen(JournalWatch& journal, const std::string& tag) {
    std::vector<std::string> keys;
    for (const Json::Value& entry : journal.Entries()) {
        std::vector<std::string> args = EventArgs(entry);
        if (IsEvent(entry, "keydown") && args.size() == 2 && args[0] == tag) {
            keys.push_back(args[1]);
        }
    }
    return keys;
}

bool LockNoticeShown(unsigned long examWindow, int windowHeight, const std::string& shotName) {
    const std::string shot = X11Session::Screenshot(shotName, examWindow);
    const std::string point = "%[pixel:p{" + std::to_string(kNoticeInset) + "," +
                              std::to_string(windowHeight - kNoticeInset) + "}]";
    const std::string pixel = X11Session::Run({"convert", shot, "-format", point, "info:"});
    return pixel.find(kNoticeColour) != std::string::npos;
}

bool WaitLockNotice(unsigned long examWindow, int windowHeight, bool shown,
                    const std::string& shotName) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (LockNoticeShown(examWindow, windowHeight, shotName) != shown) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    }
    return true;
}

}  // namespace ExamPage
