// Times the container's answer to the save request: the earlier version moved
// aside as the question window does, the request sent, until the document
// is written again.
//
//   bench_office_save WINDOW DOCUMENT [RUNS]
//
// Prints one line per run ("save N ms") and the median.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/files/FileWait.h"
#include "platform/x11/X11Windows.h"

namespace {

constexpr uint32_t kSaveMessage = 0x8001;
constexpr int kSaveLimitMs = 30000;
constexpr int kDefaultRuns = 10;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WINDOW DOCUMENT [RUNS]\n", argv[0]);
        return 2;
    }
    const NativeWindow window = std::strtoul(argv[1], nullptr, 0);
    const std::string document = argv[2];
    const int runs = argc > 3 ? std::atoi(argv[3]) : kDefaultRuns;
    std::vector<long> times;
    for (int run = 0; run < runs; ++run) {
        std::error_code error;
        std::filesystem::rename(document, document + ".bak", error);
        const auto start = std::chrono::steady_clock::now();
        if (!SendWindowMessage(window, kSaveMessage, 0, 0) ||
            !WaitForFileWritten(document, kSaveLimitMs)) {
            std::fprintf(stderr, "save %d: no document written\n", run);
            return 1;
        }
        const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        std::filesystem::remove(document + ".bak", error);
        std::printf("save %ld ms\n", ms);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("median %ld ms\n", times[times.size() / 2]);
    return 0;
}
