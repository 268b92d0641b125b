#include "foundation/Clock.h"

namespace {

class SteadyClock : public Clock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint due) override {
        wake.wait_until(lock, due);
    }
};

}  // namespace

Clock& Clock::Steady() {
    static SteadyClock clock;
    return clock;
}
