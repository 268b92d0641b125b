#include "http/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

// A gate that work items wait on until the test opens it.
class Gate {
public:
    void Open() {
        {
            std::lock_guard<std::mutex> g(m);
            open = true;
        }
        cv.notify_all();
    }
    void Pass() {
        std::unique_lock<std::mutex> g(m);
        cv.wait(g, [this] { return open; });
    }

private:
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
};

// Counts what the pool did with it; frees nothing (the test owns it).
class CountingWorker : public Worker {
public:
    explicit CountingWorker(bool prepare = true, Gate* gate = nullptr)
        : m_prepare(prepare), m_gate(gate) {}
    bool Prepare(void*) override {
        ++prepared;
        return m_prepare;
    }
    void Execute(void*, void* overlapped) override {
        sawOverlapped = overlapped;
        int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        if (m_gate) {
            m_gate->Pass();
        }
        --running;
        ++executed;
    }
    void Finish(void*) override {
        {
            std::lock_guard<std::mutex> g(m);
            ++finished;
        }
        cv.notify_all();
    }
    bool WaitFinished(int count, int ms = 10000) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, std::chrono::milliseconds(ms), [&] { return finished >= count; });
    }

    std::atomic<int> prepared{0}, executed{0};
    // Shared by all items: how many are inside Execute now, and at most.
    static inline std::atomic<int> running{0};
    static inline std::atomic<int> peak{0};
    int finished = 0;
    void* sawOverlapped = reinterpret_cast<void*>(1);

private:
    bool m_prepare;
    Gate* m_gate;
    std::mutex m;
    std::condition_variable cv;
};

TEST(ThreadPool, LifecycleCodes) {
    CThreadPool pool;
    CountingWorker early;
    EXPECT_FALSE(pool.Post(&early));  // no queue yet: the item stays with us
    EXPECT_EQ(pool.Resize(3, 1000), kErrorFail);

    ASSERT_EQ(pool.Start(), 0u);
    EXPECT_EQ(pool.ThreadCount(), 10u);
    EXPECT_EQ(pool.Start(), kErrorAlreadyInitialized);
    EXPECT_EQ(pool.ThreadCount(), 10u);
    EXPECT_EQ(pool.Resize(10, 1000), 0u);

    EXPECT_EQ(pool.Resize(4, 5000), 0u);
    EXPECT_EQ(pool.ThreadCount(), 4u);
    EXPECT_EQ(pool.Resize(6, 5000), 0u);
    EXPECT_EQ(pool.ThreadCount(), 6u);

    pool.Stop();
    EXPECT_EQ(pool.ThreadCount(), 0u);
    EXPECT_FALSE(pool.Post(&early));
    pool.Stop();  // a second stop does nothing
    EXPECT_EQ(early.prepared, 0);
}

TEST(ThreadPool, SlotOrderAndDeclinedItems) {
    CThreadPool pool;
    ASSERT_EQ(pool.Start(), 0u);
    CountingWorker runs;
    CountingWorker declines(false);
    ASSERT_TRUE(pool.Post(&declines));
    ASSERT_TRUE(pool.Post(&runs));
    ASSERT_TRUE(runs.WaitFinished(1));
    pool.Stop();  // every item queued before has been taken by now
    EXPECT_EQ(runs.executed, 1);
    EXPECT_EQ(runs.sawOverlapped, nullptr);
    EXPECT_EQ(declines.prepared, 1);
    EXPECT_EQ(declines.executed, 0);
    EXPECT_EQ(declines.finished, 0);
}

TEST(ThreadPool, TenRunAtOnceAndTheEleventhWaits) {
    CThreadPool pool;
    ASSERT_EQ(pool.Start(), 0u);
    Gate gate;
    CountingWorker::peak = 0;
    std::vector<std::unique_ptr<CountingWorker>> items;
    for (int i = 0; i < 11; ++i) {
        items.push_back(std::make_unique<CountingWorker>(true, &gate));
        ASSERT_TRUE(pool.Post(items.back().get()));
    }
    // Ten items are inside Execute; the eleventh has not been prepared.
    for (int i = 0; i < 200 && CountingWorker::peak < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(CountingWorker::peak, 10);
    EXPECT_EQ(items[10]->prepared, 0);
    gate.Open();
    for (auto& item : items) {
        EXPECT_TRUE(item->WaitFinished(1));
    }
    EXPECT_EQ(CountingWorker::peak, 10);
    pool.Stop();
}

TEST(ThreadPool, VoidedShutdownMarkerIsIgnoredByTheThreadThatTakesIt) {
    CThreadPool pool;
    ASSERT_EQ(pool.Start(), 0u);
    ASSERT_EQ(pool.Resize(1, 5000), 0u);
    Gate gate;
    CountingWorker busy(true, &gate);
    ASSERT_TRUE(pool.Post(&busy));
    // The only thread is busy: nobody takes the marker within the wait.
    EXPECT_EQ(pool.Resize(0, 200), kWaitTimeout);
    EXPECT_EQ(pool.ThreadCount(), 1u);
    gate.Open();
    ASSERT_TRUE(busy.WaitFinished(1));
    // The thread then takes the void marker, ignores it and keeps serving.
    CountingWorker after;
    ASSERT_TRUE(pool.Post(&after));
    EXPECT_TRUE(after.WaitFinished(1));
    pool.Stop();
    EXPECT_EQ(pool.ThreadCount(), 0u);
}

}  // namespace
