#include "platform/thread/NativeThread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>
#include <utility>

struct NativeThread::Handle {
    pthread_t thread{};
};

namespace {

constexpr long kMsPerSecond = 1000;
constexpr long kNsPerMs = 1000000L;
constexpr long kNsPerSecond = 1000000000L;

void* RunBody(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

}  // namespace

NativeThread::NativeThread() = default;

NativeThread::~NativeThread() {
    Detach();
}

NativeThread::NativeThread(NativeThread&& other) noexcept = default;

NativeThread& NativeThread::operator=(NativeThread&& other) noexcept {
    if (this != &other) {
        Detach();
        m_handle = std::move(other.m_handle);
    }
    return *this;
}

int NativeThread::Start(std::function<void()> body, std::size_t stackSize) {
    if (m_handle) {
        return EBUSY;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) {
        pthread_attr_setstacksize(&attributes, stackSize);
    }
    auto handle = std::make_unique<Handle>();
    auto* argument = new std::function<void()>(std::move(body));
    int error = pthread_create(&handle->thread, &attributes, &RunBody, argument);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete argument;
        return error;
    }
    m_handle = std::move(handle);
    return 0;
}

bool NativeThread::Running() const {
    return m_handle != nullptr;
}

bool NativeThread::JoinWithin(long timeoutMs) {
    if (!m_handle) {
        return true;
    }
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeoutMs / kMsPerSecond;
    deadline.tv_nsec += (timeoutMs % kMsPerSecond) * kNsPerMs;
    if (deadline.tv_nsec >= kNsPerSecond) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= kNsPerSecond;
    }
    if (pthread_timedjoin_np(m_handle->thread, nullptr, &deadline) != 0) {
        return false;
    }
    m_handle.reset();
    return true;
}

void NativeThread::Detach() {
    if (m_handle) {
        pthread_detach(m_handle->thread);
        m_handle.reset();
    }
}

std::uint32_t NativeThread::CurrentId() {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}
