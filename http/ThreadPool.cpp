#include "http/ThreadPool.h"

#include <utility>

bool CompletionQueue::Post(const Packet& packet) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_closed) {
            return false;
        }
        m_packets.push_back(packet);
    }
    m_ready.notify_one();
    return true;
}

bool CompletionQueue::Take(Packet& packet) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_ready.wait(guard, [this] { return m_closed || !m_packets.empty(); });
    if (m_closed) {
        return false;
    }
    packet = m_packets.front();
    m_packets.pop_front();
    return true;
}

void CompletionQueue::Close() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closed = true;
        m_packets.clear();
    }
    m_ready.notify_all();
}

struct CThreadPool::ThreadStart {
    std::shared_ptr<Shared> shared;
    std::atomic<uint32_t> threadId{0};
};

void CThreadPool::WorkerLoop(std::shared_ptr<ThreadStart> start) {
    std::shared_ptr<Shared> shared = start->shared;
    std::shared_ptr<CompletionQueue> port = shared->port;

    start->threadId = NativeThread::CurrentId();
    shared->threadEvent.Set();

    CompletionQueue::Packet packet;
    while (port->Take(packet)) {
        if (packet.overlapped == CompletionQueue::kShutdownMarker) {
            // Only a marker whose resize step still waits ends a thread; one
            // voided after its time-out is ignored.
            if (shared->shutdownFlag.exchange(0) != 0) {
                break;
            }
            continue;
        }
        Worker* worker = packet.key;
        if (worker != nullptr && worker->Prepare(shared->workerParam)) {
            worker->Execute(shared->workerParam, packet.overlapped);
            worker->Finish(shared->workerParam);
        }
    }
    shared->lastExitedThreadId = NativeThread::CurrentId();
    shared->threadEvent.Set();
}

CThreadPool::~CThreadPool() {
    Stop();
}

uint32_t CThreadPool::Start() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_shared) {
        return kErrorAlreadyInitialized;
    }
    m_shared = std::make_shared<Shared>();
    m_shared->port = std::make_shared<CompletionQueue>();
    m_shared->workerParam = nullptr;
    m_stackSize = 0;
    uint32_t result = Resize(kThreadCount, m_maxWaitMs);
    if (result != 0) {
        m_shared->port->Close();
        m_threads.clear();  // let go: each ends when its queue read fails
        m_shared.reset();
    }
    return result;
}

uint32_t CThreadPool::Resize(uint32_t count, uint32_t waitMs) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_shared) {
        return kErrorFail;
    }
    while (m_threads.size() < count) {
        m_shared->threadEvent.Reset();
        auto start = std::make_shared<ThreadStart>();
        start->shared = m_shared;
        NativeThread thread;
        if (int error = thread.Start([start] { WorkerLoop(start); }, m_stackSize); error != 0) {
            return static_cast<uint32_t>(error);
        }
        if (!m_shared->threadEvent.Wait(waitMs)) {
            // Let go: the thread ends by itself when its next queue read fails.
            thread.Detach();
            return kWaitTimeout;
        }
        m_threads[start->threadId] = std::move(thread);
    }
    while (m_threads.size() > count) {
        m_shared->threadEvent.Reset();
        m_shared->shutdownFlag.exchange(1);
        m_shared->port->Post({nullptr, CompletionQueue::kShutdownMarker});
        if (!m_shared->threadEvent.Wait(waitMs)) {
            if (m_shared->shutdownFlag.exchange(0) == 1) {
                return kWaitTimeout;  // nobody took the marker; it is void now
            }
            // A thread took the marker just after the time-out: it is ending,
            // so wait for its report after all.
            m_shared->threadEvent.Wait(waitMs);
        }
        auto it = m_threads.find(m_shared->lastExitedThreadId);
        if (it != m_threads.end()) {
            if (!it->second.JoinWithin(kThreadEndWaitMs)) {
                return kErrorFail;
            }
            m_threads.erase(it);
        }
    }
    return 0;
}

bool CThreadPool::Post(Worker* worker) {
    std::shared_ptr<CompletionQueue> port;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        if (!m_shared) {
            return false;
        }
        port = m_shared->port;
    }
    return port->Post({worker, nullptr});
}

void CThreadPool::Stop() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_shared) {
        return;
    }
    // A thread stuck in a work item cannot be ended safely from outside: when
    // the resize fails it is let go. It keeps its own reference to the shared
    // state and ends when its item returns and the closed queue refuses the
    // next read.
    Resize(0, m_maxWaitMs);
    m_threads.clear();
    m_shared->port->Close();
    m_shared.reset();
}

size_t CThreadPool::ThreadCount() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_threads.size();
}
