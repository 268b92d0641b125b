#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// A thread that can be started with a chosen stack size, joined within a time
// limit, or let go. A thread still held when its object goes is let go (it
// runs on; it must not use what the owner destroys).
class NativeThread {
public:
    NativeThread();
    ~NativeThread();
    NativeThread(NativeThread&& other) noexcept;
    NativeThread& operator=(NativeThread&& other) noexcept;
    NativeThread(const NativeThread&) = delete;
    NativeThread& operator=(const NativeThread&) = delete;

    // 0, or the error number of a start the system refused. stackSize 0:
    // the system's default.
    int Start(std::function<void()> body, std::size_t stackSize = 0);
    bool Running() const;
    // true once the thread has ended and was joined; false when it is still
    // running after timeoutMs (it stays held).
    bool JoinWithin(long timeoutMs);
    // Lets the thread go: it ends by itself, nobody joins it.
    void Detach();

    // The kernel's id of the calling thread (as in logs and /proc).
    static std::uint32_t CurrentId();

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};
