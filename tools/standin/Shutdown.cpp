#include "tools/standin/Shutdown.h"

#include <pthread.h>
#include <signal.h>

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR1);  // used only to wake the waiting thread at the end
    return set;
}

}  // namespace

void Shutdown::Block() {
    sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A client that goes away mid-answer must not end the process.
    signal(SIGPIPE, SIG_IGN);
}

Shutdown::Shutdown() {
    m_signals = std::thread([this] {
        sigset_t set = StopSignals();
        int received = 0;
        sigwait(&set, &received);
        Request();
    });
}

Shutdown::~Shutdown() {
    Request();
    pthread_kill(m_signals.native_handle(), SIGUSR1);
    m_signals.join();
}

void Shutdown::Request() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_done = true;
    m_requested.notify_all();
}

void Shutdown::Wait() {
    std::unique_lock<std::mutex> hold(m_lock);
    m_requested.wait(hold, [this] { return m_done; });
}
