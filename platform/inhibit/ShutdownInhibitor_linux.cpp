#include "platform/inhibit/ShutdownInhibitor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr const char* kLogindService = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr const char* kBlockMode = "block";
constexpr const char* kDelayMode = "delay";
constexpr long kMicrosecondsPerMs = 1000;

}  // namespace

struct ShutdownInhibitor::Impl {
    Logger log;
    LastAttempt lastAttempt;
    std::thread thread;
    int wakeFd = -1;

    std::mutex lock;  // wanted, stop
    bool wanted = false;
    bool stop = false;

    // Bus thread only.
    sd_bus* bus = nullptr;
    sd_bus_slot* prepareSlot = nullptr;
    int blockFd = -1;
    int delayFd = -1;
    bool failureLogged = false;
    bool held = false;

    void Wake() {
        uint64_t one = 1;
        ssize_t ignored = write(wakeFd, &one, sizeof(one));
        (void)ignored;
    }

    void Fail(const std::string& what, int error) {
        if (!failureLogged) {
            failureLogged = true;
            log("shutdown block unavailable (" + what + ": " + std::strerror(error < 0 ? -error : error) +
                "); going on without it");
        }
    }

    bool Connect() {
        if (bus) {
            return true;
        }
        int status = sd_bus_open_system(&bus);
        if (status < 0) {
            bus = nullptr;
            Fail("system bus", status);
            return false;
        }
        status = sd_bus_match_signal(bus, &prepareSlot, kLogindService, kLogindPath, kLogindManager,
                                     "PrepareForShutdown", &Impl::OnPrepare, this);
        if (status < 0) {
            Fail("PrepareForShutdown subscription", status);
        }
        return true;
    }

    int Take(const char* mode) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        int status = sd_bus_call_method(bus, kLogindService, kLogindPath, kLogindManager, "Inhibit",
                                        &error, &reply, "ssss", kWhat, kWho, kWhy, mode);
        int kept = -1;
        if (status >= 0) {
            int fd = -1;
            status = sd_bus_message_read(reply, "h", &fd);
            // The descriptor belongs to the message and closes with it.
            if (status >= 0) {
                kept = fcntl(fd, F_DUPFD_CLOEXEC, 3);
                if (kept < 0) {
                    status = -errno;
                }
            }
        }
        if (status < 0) {
            Fail(std::string("Inhibit ") + mode +
                     (error.message ? std::string(", ") + error.message : std::string()),
                 status);
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return kept;
    }

    void Let(int& fd) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }

    void Apply() {
        bool want;
        {
            std::lock_guard<std::mutex> hold(lock);
            want = wanted;
        }
        if (want && !held) {
            if (!Connect()) {
                return;
            }
            if (blockFd < 0) {
                blockFd = Take(kBlockMode);
            }
            if (delayFd < 0) {
                delayFd = Take(kDelayMode);
            }
            held = true;
            if (blockFd >= 0 || delayFd >= 0) {
                log("shutdown block held");
            }
        } else if (!want && held) {
            bool had = blockFd >= 0 || delayFd >= 0;
            Let(blockFd);
            Let(delayFd);
            held = false;
            if (had) {
                log("shutdown block released");
            }
        }
    }

    int DelayBudgetMs() {
        uint64_t delayUs = 0;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        int status = sd_bus_get_property_trivial(bus, kLogindService, kLogindPath, kLogindManager,
                                                 "InhibitDelayMaxUSec", &error, 't', &delayUs);
        sd_bus_error_free(&error);
        long delayMs = status >= 0 ? static_cast<long>(delayUs / kMicrosecondsPerMs) : kDefaultDelayMs;
        return static_cast<int>(std::max(0L, delayMs - kDelayMarginMs));
    }

    static int OnPrepare(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* impl = static_cast<Impl*>(self);
        int active = 0;
        if (sd_bus_message_read(message, "b", &active) < 0) {
            return 0;
        }
        if (active) {
            if (impl->delayFd >= 0) {
                const int budget = impl->DelayBudgetMs();
                impl->log("system going down: last delivery attempt within " +
                          std::to_string(budget) + " ms");
                impl->lastAttempt(budget);
                impl->Let(impl->delayFd);
            }
        } else if (impl->held && impl->delayFd < 0) {
            // The shutdown was called off; be ready for the next one.
            impl->delayFd = impl->Take(kDelayMode);
        }
        return 0;
    }

    void Run() {
        for (;;) {
            Apply();
            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, 0, 0}};
            int timeoutMs = -1;
            if (bus) {
                fds[1].fd = sd_bus_get_fd(bus);
                int events = sd_bus_get_events(bus);
                fds[1].events = static_cast<short>(events < 0 ? POLLIN : events);
                uint64_t until = 0;
                if (sd_bus_get_timeout(bus, &until) > 0 && until != UINT64_MAX) {
                    timespec now{};
                    clock_gettime(CLOCK_MONOTONIC, &now);
                    uint64_t nowUs = static_cast<uint64_t>(now.tv_sec) * 1000000u +
                                     static_cast<uint64_t>(now.tv_nsec) / 1000u;
                    timeoutMs = until > nowUs ? static_cast<int>((until - nowUs + 999) / 1000) : 0;
                }
            }
            int ready = poll(fds, bus ? 2 : 1, timeoutMs);
            if (ready < 0 && errno != EINTR) {
                break;
            }
            if (fds[0].revents & POLLIN) {
                uint64_t count = 0;
                ssize_t ignored = read(wakeFd, &count, sizeof(count));
                (void)ignored;
            }
            if (bus) {
                int status;
                while ((status = sd_bus_process(bus, nullptr)) > 0) {
                }
                if (status < 0) {
                    // The bus went away; try again when the lock is next wanted.
                    Fail("bus lost", status);
                    prepareSlot = sd_bus_slot_unref(prepareSlot);
                    bus = sd_bus_flush_close_unref(bus);
                    Let(blockFd);
                    Let(delayFd);
                    held = false;
                }
            }
            std::lock_guard<std::mutex> hold(lock);
            if (stop) {
                break;
            }
        }
        Let(blockFd);
        Let(delayFd);
        prepareSlot = sd_bus_slot_unref(prepareSlot);
        bus = sd_bus_flush_close_unref(bus);
    }
};

ShutdownInhibitor::ShutdownInhibitor() : m_impl(std::make_unique<Impl>()) {}

ShutdownInhibitor::~ShutdownInhibitor() { Stop(); }

bool ShutdownInhibitor::Start(Logger log, LastAttempt lastAttempt) {
    if (m_impl->thread.joinable()) {
        return true;
    }
    m_impl->log = log ? std::move(log) : [](const std::string&) {};
    m_impl->lastAttempt = lastAttempt ? std::move(lastAttempt) : [](int) {};
    m_impl->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_impl->wakeFd < 0) {
        return false;
    }
    m_impl->stop = false;
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->Run(); });
    return true;
}

void ShutdownInhibitor::Stop() {
    if (!m_impl->thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(m_impl->lock);
        m_impl->stop = true;
    }
    m_impl->Wake();
    m_impl->thread.join();
    close(m_impl->wakeFd);
    m_impl->wakeFd = -1;
}

void ShutdownInhibitor::SetHeld(bool held) {
    {
        std::lock_guard<std::mutex> hold(m_impl->lock);
        m_impl->wanted = held;
    }
    if (m_impl->wakeFd >= 0) {
        m_impl->Wake();
    }
}
