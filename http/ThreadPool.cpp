#include "http/ThreadPool.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

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

namespace {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

bool JoinWithin(pthread_t thread, long timeoutMs) {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += (timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return pthread_timedjoin_np(thread, nullptr, &deadline) == 0;
}

}  // namespace

void* CThreadPool::WorkerLoop(void* argument) {
    auto* handle = static_cast<std::shared_ptr<ThreadStart>*>(argument);
    std::shared_ptr<ThreadStart> start = *handle;
    delete handle;
    std::shared_ptr<Shared> shared = start->shared;
    std::shared_ptr<CompletionQueue> port = shared->port;

    start->threadId = CurrentThreadId();
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
    shared->lastExitedThreadId = CurrentThreadId();
    shared->threadEvent.Set();
    return nullptr;
}

CThreadPool::~CThreadPool() { Stop(); }

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
        for (auto& [id, thread] : m_threads) {
            pthread_detach(thread);
        }
        m_threads.clear();
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
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        if (m_stackSize != 0) {
            pthread_attr_setstacksize(&attributes, m_stackSize);
        }
        pthread_t thread;
        auto* handle = new std::shared_ptr<ThreadStart>(start);
        int error = pthread_create(&thread, &attributes, &CThreadPool::WorkerLoop, handle);
        pthread_attr_destroy(&attributes);
        if (error != 0) {
            delete handle;
            return static_cast<uint32_t>(error);
        }
        if (!m_shared->threadEvent.Wait(waitMs)) {
            // The thread ends by itself when its next queue read fails.
            pthread_detach(thread);
            return kWaitTimeout;
        }
        m_threads[start->threadId] = thread;
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
            if (!JoinWithin(it->second, kThreadEndWaitMs)) {
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
    if (Resize(0, m_maxWaitMs) != 0) {
        // A thread stuck in a work item cannot be ended safely from outside;
        // it keeps its own reference to the shared state and ends when its
        // item returns and the closed queue refuses the next read.
        for (auto& [id, thread] : m_threads) {
            pthread_detach(thread);
        }
    }
    m_threads.clear();
    m_shared->port->Close();
    m_shared.reset();
}

size_t CThreadPool::ThreadCount() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_threads.size();
}
