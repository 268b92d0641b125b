#include "platform/crash/CrashFilter.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/crash/MinidumpWriter.h"
#include "platform/paths/ProgramDirectory.h"

namespace {

constexpr const char* kDumpName = "Exception.dmp";
constexpr size_t kDumpPathLimit = 4096;
// Room for the dump writer's frames on top of the minimum signal stack.
constexpr size_t kCrashStackSize = 64 * 1024;

using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);
using SignalFunction = sighandler_t (*)(int, sighandler_t);

char g_dumpPath[kDumpPathLimit];
std::atomic<bool> g_locked{false};
std::atomic<bool> g_crashing{false};
SigactionFunction g_realSigaction;
SignalFunction g_realSignal;

void ResolveRealFunctions() {
    if (!g_realSigaction) {
        g_realSigaction = reinterpret_cast<SigactionFunction>(dlsym(RTLD_NEXT, "sigaction"));
    }
    if (!g_realSignal) {
        g_realSignal = reinterpret_cast<SignalFunction>(dlsym(RTLD_NEXT, "signal"));
    }
}

bool IsCrashSignal(int signo) {
    for (int s : kCrashSignals) {
        if (s == signo) {
            return true;
        }
    }
    return false;
}

void CrashHandler(int signo, siginfo_t* info, void* context) {
    // Only the first crashing thread writes; any other one waits for the
    // process to end under it.
    if (g_crashing.exchange(true)) {
        for (;;) {
            pause();
        }
    }
    WriteCrashDump(g_dumpPath, signo, info, static_cast<const ucontext_t*>(context));
    _exit(signo);
}

}  // namespace

bool PrepareCrashStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_sp) {
        return true;
    }
    const size_t size = kCrashStackSize + static_cast<size_t>(SIGSTKSZ);
    // Never freed: the thread may crash at any moment of its life.
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return false;
    }
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = size;
    return sigaltstack(&stack, nullptr) == 0;
}

const char* CrashDumpPath() {
    return g_dumpPath;
}

bool InstallCrashFilter() {
    ResolveRealFunctions();
    if (!g_realSigaction) {
        return false;
    }
    std::string path = ProgramDirectory() + kDumpName;
    if (path.size() >= kDumpPathLimit) {
        return false;
    }
    memcpy(g_dumpPath, path.c_str(), path.size() + 1);
    PrepareCrashStack();
    struct sigaction action {};
    action.sa_sigaction = CrashHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    bool ok = true;
    for (int signo : kCrashSignals) {
        ok = g_realSigaction(signo, &action, nullptr) == 0 && ok;
    }
    return ok;
}

int LockCrashFilter() {
    g_locked = true;
    return 1;
}

// The process's own definitions of the handler-setting functions: every
// caller in the process, shared libraries included, reaches these first.
// Once locked, a new handler for a crash signal is accepted and dropped, so
// the crash filter stays the one that runs.
extern "C" int sigaction(int signo, const struct sigaction* action, struct sigaction* old) {
    ResolveRealFunctions();
    if (g_locked && action && IsCrashSignal(signo)) {
        return g_realSigaction(signo, nullptr, old);
    }
    return g_realSigaction(signo, action, old);
}

extern "C" sighandler_t signal(int signo, sighandler_t handler) {
    ResolveRealFunctions();
    if (g_locked && IsCrashSignal(signo)) {
        return SIG_DFL;
    }
    return g_realSignal(signo, handler);
}

extern "C" sighandler_t bsd_signal(int signo, sighandler_t handler) {
    return signal(signo, handler);
}
