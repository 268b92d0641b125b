#include "platform/signals/StopSignals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <initializer_list>

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

volatile std::sig_atomic_t g_stopFlag = 0;

void OnStopSignal(int) {
    g_stopFlag = 1;
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

void CloseStopSignalDescriptor(int descriptor) {
    if (descriptor >= 0) {
        close(descriptor);
    }
}

bool IsInterruptSignal(int signo) {
    return signo == SIGINT;
}

const volatile std::sig_atomic_t& CatchStopSignalsAsFlag() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the wait has to return
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signo, &action, nullptr);
    }
    return g_stopFlag;
}

int WaitForStopSignal() {
    sigset_t set = StopSet();
    int received = 0;
    sigwait(&set, &received);
    return received;
}
