#include "platform/signals/StopSignals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockStopSignals() {
    sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int OpenStopSignalDescriptor() {
    sigset_t set = StopSet();
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

int ReadStopSignal(int descriptor) {
    signalfd_siginfo info{};
    if (read(descriptor, &info, sizeof(info)) != static_cast<ssize_t>(sizeof(info))) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

int WaitForStopSignal() {
    sigset_t set = StopSet();
    int received = 0;
    sigwait(&set, &received);
    return received;
}
