#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "tools/downloader/LessonDatabase.h"

// Plays the downloading: while a lesson is downloading, its course files grow
// by the configured rate at every tick until the lesson is complete and the
// next waiting lesson takes over. Sleeps without ticking while nothing runs.
class DownloadSimulator {
public:
    static constexpr int64_t kDefaultBytesPerSecond = 2 * 1024 * 1024;
    static constexpr int kDefaultTickMs = 250;

    DownloadSimulator(LessonDatabase& database, int64_t bytesPerSecond, int tickMs);
    ~DownloadSimulator();

    // Called after a lesson was started: wakes the simulation.
    void Wake();

private:
    void Run();

    LessonDatabase& m_database;
    const int64_t m_bytesPerTick;
    const int m_tickMs;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_woken = false;
    bool m_stop = false;
    std::thread m_thread;
};
