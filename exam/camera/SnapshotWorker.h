#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "exam/camera/CameraSettings.h"
#include "foundation/Clock.h"

// The snapshot thread of a supervised exam: waits a random interval, takes a
// snapshot into "<prefix>_<n>.jpg" (n from 0 for each start), hands the file
// on, and repeats until stopped. A stop ends any wait at once.
class CSnapshotWorker {
public:
    // Writes a snapshot to the path; 0 when a file is there afterwards.
    using Capture = std::function<int(const std::string& path)>;
    // Takes the finished file (and removes it); stopped tells a long delivery
    // that the worker is being stopped.
    using Deliver =
        std::function<void(const std::string& path, const std::function<bool()>& stopped)>;

    explicit CSnapshotWorker(Clock& clock = Clock::Steady());
    ~CSnapshotWorker();
    CSnapshotWorker(const CSnapshotWorker&) = delete;
    CSnapshotWorker& operator=(const CSnapshotWorker&) = delete;

    // false when it runs already.
    bool Start(const std::string& directory, const std::string& prefix, SnapshotInterval interval,
               Capture capture, Deliver deliver);
    // Stops the thread and waits for it: at once while it waits, after the
    // running snapshot or delivery otherwise (deliveries are told to stop).
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run(std::string directory, std::string prefix, SnapshotInterval interval, Capture capture,
             Deliver deliver);
    // Waits the seconds; false when stopped meanwhile.
    bool Wait(int seconds);

    Clock& m_clock;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
