#include "exam/camera/SnapshotWorker.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"

CSnapshotWorker::CSnapshotWorker(Clock& clock) : m_clock(clock) {}

CSnapshotWorker::~CSnapshotWorker() {
    Stop();
}

bool CSnapshotWorker::Start(const std::string& directory, const std::string& prefix,
                            SnapshotInterval interval, Capture capture, Deliver deliver) {
    if (m_thread.joinable()) {
        return false;
    }
    m_stop = false;
    m_thread = std::thread(&CSnapshotWorker::Run, this, directory, prefix, interval,
                           std::move(capture), std::move(deliver));
    return true;
}

void CSnapshotWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CSnapshotWorker::Wait(int seconds) {
    const Clock::TimePoint due = m_clock.Now() + std::chrono::seconds(seconds);
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_stop && m_clock.Now() < due) {
        m_clock.WaitUntil(m_wake, hold, due);
    }
    return !m_stop;
}

void CSnapshotWorker::Run(std::string directory, std::string prefix, SnapshotInterval interval,
                          Capture capture, Deliver deliver) {
    MakeDirectoryTree(directory);
    std::mt19937 random(static_cast<unsigned>(time(nullptr)) ^ std::random_device()());
    std::uniform_int_distribution<int> seconds(interval.minSeconds, interval.maxSeconds);
    const std::function<bool()> stopped = [this] { return m_stop.load(); };
    for (int counter = 0; Wait(seconds(random)); ++counter) {
        const std::string path = SnapshotPath(directory, prefix, counter);
        std::error_code ignored;
        // No picture means no file worth sending: an empty upload only
        // hides that the camera failed.
        if (capture(path) != 0 || std::filesystem::file_size(path, ignored) == 0 || ignored) {
            LOG_ERROR("Camera snapshot failed. %s", path.c_str());
            std::remove(path.c_str());
            continue;
        }
        if (deliver) {
            deliver(path, stopped);
        } else {
            std::remove(path.c_str());
        }
    }
}
