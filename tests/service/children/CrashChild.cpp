// A program that installs and locks the crash filter, tries to take the
// crash signals back the way a library might, and then crashes as told:
// "segv", "abort", "overflow" (stack overflow) or "thread" (in a second thread).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/crash/CrashFilter.h"

namespace {

constexpr uid_t kNobody = 65534;

__attribute__((noinline)) void CrashNow() {
    volatile int* nowhere = nullptr;
    *nowhere = 42;
}

// Deep enough for any stack limit; the guard only hides the endless
// recursion from the compiler.
constexpr int kDepthLimit = 1 << 30;

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth > kDepthLimit) {
        return frame[0];
    }
    return Recurse(depth + 1) + frame[0];
}

}  // namespace

int main(int argc, char** argv) {
    if (!InstallCrashFilter() || LockCrashFilter() != 1) {
        std::puts("install failed");
        return 100;
    }
    // Both attempts must leave the crash filter in place.
    signal(SIGSEGV, SIG_DFL);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGSEGV, &ignore, nullptr);
    sigaction(SIGABRT, &ignore, nullptr);

    if (std::getenv("CRASH_AS_NOBODY") && getuid() == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            return 101;
        }
    }
    const char* mode = argc > 1 ? argv[1] : "segv";
    std::printf("crashing: %s\n", mode);
    std::fflush(stdout);
    if (std::strcmp(mode, "abort") == 0) {
        std::abort();
    } else if (std::strcmp(mode, "overflow") == 0) {
        return Recurse(0);
    } else if (std::strcmp(mode, "thread") == 0) {
        std::thread([] { CrashNow(); }).join();
    } else {
        CrashNow();
    }
    return 0;
}
