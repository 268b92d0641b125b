#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/WaveFormat.h"

// One block the caller lends to the device. The device fills the queued
// blocks in order and hands each back through the callback.
struct WaveBuffer {
    uint8_t* data = nullptr;
    size_t size = 0;
    size_t recorded = 0;  // bytes filled by the device
    bool done = false;    // set when the device hands the block back
    uintptr_t user = 0;
};

// Capture from the default audio input. A capture thread of the device's own
// fills the queued buffers and calls the callback with each full one (and
// with the last, partly filled one when capture stops); the callback may add
// the buffer back at once. Results are 0 or a negative system error code.
class WaveIn {
public:
    using Callback = std::function<void(WaveBuffer*)>;

    static constexpr const char* kDefaultDevice = "default";

    // Names of the devices that can capture, in the order the system lists
    // them.
    static std::vector<std::string> CaptureDeviceNames();

    WaveIn() = default;
    ~WaveIn();
    WaveIn(const WaveIn&) = delete;
    WaveIn& operator=(const WaveIn&) = delete;

    // Opens the default input with `format`; the device keeps `periodCount`
    // periods of `periodBytes` while the caller works on a buffer.
    int Open(const WaveFormat& format, size_t periodBytes, unsigned periodCount, Callback callback);
    bool IsOpen() const { return m_pcm != nullptr; }

    int AddBuffer(WaveBuffer* buffer);
    int Start();
    // Ends capture: the buffer being filled comes back through the callback
    // with what it holds; the thread has ended when this returns.
    int Stop();
    // Takes back every buffer still queued (not marked done).
    std::vector<WaveBuffer*> Reset();
    // Fails with -EBUSY while buffers are queued.
    int Close();

    // Periods the device lost because nobody read them in time, and bytes
    // that arrived while no buffer was queued.
    uint64_t Overruns() const { return m_overruns.load(); }
    uint64_t DroppedBytes() const { return m_droppedBytes.load(); }

private:
    void Run();
    bool ReadAvailable();
    void Deliver(WaveBuffer* buffer);
    WaveBuffer* NextBuffer();

    void* m_pcm = nullptr;
    size_t m_frameBytes = 0;
    Callback m_callback;
    int m_stopFd = -1;
    std::thread m_thread;

    std::mutex m_queueLock;
    std::deque<WaveBuffer*> m_queue;
    WaveBuffer* m_current = nullptr;  // capture thread only
    std::vector<uint8_t> m_scratch;   // capture thread only

    std::atomic<uint64_t> m_overruns{0};
    std::atomic<uint64_t> m_droppedBytes{0};
};
