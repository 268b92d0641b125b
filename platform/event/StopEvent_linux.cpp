#include "platform/event/StopEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

StopEvent::StopEvent() : m_descriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopEvent::~StopEvent() {
    if (m_descriptor >= 0) {
        close(m_descriptor);
    }
}

void StopEvent::Set() {
    // The counter is never read back, so the descriptor stays readable.
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t wrote = write(m_descriptor, &one, sizeof(one));
}

bool StopEvent::IsSet() const {
    return WaitFor(0);
}

bool StopEvent::WaitFor(int ms) const {
    return WaitWith(-1, ms) == Wake::kEvent;
}

StopEvent::Wake StopEvent::WaitWith(int other, int ms) const {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        // A negative descriptor is skipped by poll; an invalid event then
        // only times out (or waits for the other descriptor).
        pollfd entries[2] = {{m_descriptor, POLLIN, 0}, {other, POLLIN, 0}};
        int ready = poll(entries, 2, ms < 0 ? -1 : RemainingMs(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Wake::kFailed;
        }
        if (ready == 0) {
            return Wake::kTimeout;
        }
        if (entries[0].revents & POLLIN) {
            return Wake::kEvent;
        }
        if (entries[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            return Wake::kOther;
        }
    }
}
