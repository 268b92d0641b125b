#include "platform/ipc/NamedEvent.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "platform/ipc/IpcName.h"

namespace {

constexpr mode_t kEveryoneReadWrite = 0666;
// glibc keeps named semaphores as files "sem.<name>" in this folder.
constexpr const char kSemaphoreFolder[] = "/dev/shm/sem.";

sem_t* Handle(void* handle) {
    return static_cast<sem_t*>(handle);
}

}  // namespace

NamedEvent::~NamedEvent() {
    Close();
}

int NamedEvent::CreateOrOpen(const std::string& name) {
    Close();
    std::string posix = PosixIpcName(name);
    sem_t* sem = sem_open(posix.c_str(), O_CREAT | O_EXCL, kEveryoneReadWrite, 0);
    if (sem != SEM_FAILED) {
        // The creation mode passes through the umask; widen it afterwards.
        std::string file = kSemaphoreFolder + posix.substr(1);
        chmod(file.c_str(), kEveryoneReadWrite);
    } else if (errno == EEXIST) {
        sem = sem_open(posix.c_str(), 0);
    }
    if (sem == SEM_FAILED) {
        return errno;
    }
    m_handle = sem;
    return 0;
}

int NamedEvent::Open(const std::string& name) {
    Close();
    sem_t* sem = sem_open(PosixIpcName(name).c_str(), 0);
    if (sem == SEM_FAILED) {
        return errno;
    }
    m_handle = sem;
    return 0;
}

void NamedEvent::Close() {
    if (m_handle != nullptr) {
        sem_close(Handle(m_handle));
        m_handle = nullptr;
    }
}

int NamedEvent::Set() {
    if (m_handle == nullptr) {
        return EBADF;
    }
    int value = 0;
    // An event holds at most one signal. Two setters racing here may leave
    // two; a waiter then sees one extra wake-up, which callers tolerate as
    // they would a spurious one.
    if (sem_getvalue(Handle(m_handle), &value) == 0 && value > 0) {
        return 0;
    }
    return sem_post(Handle(m_handle)) == 0 ? 0 : errno;
}

void NamedEvent::Reset() {
    if (m_handle == nullptr) {
        return;
    }
    while (sem_trywait(Handle(m_handle)) == 0) {
    }
}

NamedEvent::WaitResult NamedEvent::Wait() {
    if (m_handle == nullptr) {
        return WaitResult::Failed;
    }
    while (sem_wait(Handle(m_handle)) != 0) {
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
    }
    return WaitResult::Signalled;
}

NamedEvent::WaitResult NamedEvent::Wait(const volatile std::sig_atomic_t& cancel) {
    if (m_handle == nullptr) {
        return WaitResult::Failed;
    }
    while (cancel == 0) {
        if (sem_wait(Handle(m_handle)) == 0) {
            return WaitResult::Signalled;
        }
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
    }
    return WaitResult::Cancelled;
}

NamedEvent::WaitResult NamedEvent::Wait(std::chrono::milliseconds timeout) {
    if (m_handle == nullptr) {
        return WaitResult::Failed;
    }
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    auto ms = timeout.count();
    due.tv_sec += ms / 1000;
    due.tv_nsec += (ms % 1000) * 1000000;
    if (due.tv_nsec >= 1000000000) {
        due.tv_sec += 1;
        due.tv_nsec -= 1000000000;
    }
    while (sem_clockwait(Handle(m_handle), CLOCK_MONOTONIC, &due) != 0) {
        if (errno == ETIMEDOUT) {
            return WaitResult::TimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
    }
    return WaitResult::Signalled;
}

int NamedEvent::Remove(const std::string& name) {
    return sem_unlink(PosixIpcName(name).c_str()) == 0 ? 0 : errno;
}
