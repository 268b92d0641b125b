#include "tools/downloader/DownloadSimulator.h"

#include <algorithm>
#include <chrono>

DownloadSimulator::DownloadSimulator(LessonDatabase& database, int64_t bytesPerSecond, int tickMs)
    : m_database(database),
      m_bytesPerTick(std::max<int64_t>(1, bytesPerSecond * tickMs / 1000)),
      m_tickMs(std::max(1, tickMs)) {
    m_thread = std::thread([this] { Run(); });
}

DownloadSimulator::~DownloadSimulator() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void DownloadSimulator::Wake() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_woken = true;
    }
    m_wake.notify_all();
}

void DownloadSimulator::Run() {
    bool running = m_database.HasRunningDownload();
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_stop) {
        if (running) {
            m_wake.wait_for(hold, std::chrono::milliseconds(m_tickMs), [this] { return m_stop; });
        } else {
            m_wake.wait(hold, [this] { return m_stop || m_woken; });
        }
        if (m_stop) {
            break;
        }
        m_woken = false;
        hold.unlock();
        running = m_database.Advance(running ? m_bytesPerTick : 0);
        hold.lock();
    }
}
