// The installer download against the platform stand-in's update server:
// bench_update <update server address> prints the seconds the download (100
// ranges, written as they arrive, digest checked unless told nodigest) took and the peak resident
// memory of this process, which holds the client's download code.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "foundation/Encoding.h"
#include "update/UpdateChecker.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr,
                     "usage: bench_update <update server address> <data folder> [nodigest]\n");
        return 2;
    }
    std::filesystem::create_directories(argv[2]);
    UpdateChecker checker(argv[2]);
    if (!checker.CheckForUpdate(Utf8ToWide(argv[1]))) {
        std::fprintf(stderr, "no update offered by %s\n", argv[1]);
        return 1;
    }
    ProductInfo offer = checker.Offer();
    const bool digest = argc == 3;
    if (!digest) {
        offer.md5.clear();  // the transfer alone
    }
    const auto started = std::chrono::steady_clock::now();
    const bool ok = checker.DownloadInstaller(offer);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("download%s %s: %lld bytes in %.3f s, peak RSS %ld KiB\n", digest ? " + MD5" : "",
                ok ? "ok" : "FAILED", static_cast<long long>(offer.size), seconds, usage.ru_maxrss);
    return ok ? 0 : 1;
}
