#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "http/AutoResetEvent.h"
#include "platform/thread/NativeThread.h"

// A work item of the pool. The pool calls Prepare, and when it answers true,
// Execute then Finish, all on one pool thread. The pool never deletes an item:
// an item that frees itself does so in Finish.
class Worker {
public:
    virtual ~Worker() = default;
    virtual bool Prepare(void* param) = 0;
    virtual void Execute(void* param, void* overlapped) = 0;
    virtual void Finish(void* param) = 0;
};

// The pool's failure codes, as callers and log lines show them: already
// started, a thread that did not answer in time, a general failure.
constexpr uint32_t kErrorAlreadyInitialized = 1247;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kErrorFail = 0x80004005;

// The pool's queue: a completion queue with the semantics the pool relies on.
// Items are taken in order; Close() makes every present and future Take fail.
class CompletionQueue {
public:
    struct Packet {
        Worker* key = nullptr;
        void* overlapped = nullptr;
    };
    static inline void* const kShutdownMarker = reinterpret_cast<void*>(~uintptr_t{0});

    bool Post(const Packet& packet);
    bool Take(Packet& packet);
    void Close();

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<Packet> m_packets;
    bool m_closed = false;
};

// A fixed-size pool of worker threads fed through a CompletionQueue.
class CThreadPool {
public:
    static constexpr uint32_t kThreadCount = 10;
    static constexpr uint32_t kDefaultMaxWaitMs = 36000;
    static constexpr long kThreadEndWaitMs = 60000;

    CThreadPool() = default;
    virtual ~CThreadPool();
    CThreadPool(const CThreadPool&) = delete;
    CThreadPool& operator=(const CThreadPool&) = delete;

    uint32_t Start();
    uint32_t Resize(uint32_t count, uint32_t waitMs);
    // false when the pool has no queue: the item then stays with the caller.
    bool Post(Worker* worker);
    void Stop();

    size_t ThreadCount();

protected:
    // The state the worker threads share. Threads hold it by shared pointer so
    // that a thread which outlives Stop (stuck in a work item) never touches a
    // destroyed pool.
    struct Shared {
        std::shared_ptr<CompletionQueue> port;
        std::atomic<int32_t> shutdownFlag{0};
        std::atomic<uint32_t> lastExitedThreadId{0};
        AutoResetEvent threadEvent;
        void* workerParam = nullptr;
    };

private:
    struct ThreadStart;
    static void WorkerLoop(std::shared_ptr<ThreadStart> start);

    std::map<uint32_t, NativeThread> m_threads;
    std::recursive_mutex m_lock;
    size_t m_stackSize = 0;
    uint32_t m_maxWaitMs = kDefaultMaxWaitMs;
    std::shared_ptr<Shared> m_shared;
};
