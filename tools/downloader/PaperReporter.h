#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "tools/standin/Journal.h"

// Plays fetching an exam paper again after "RestartExam" and tells the client
// how it went, as the downloader does, through the client's channel method
// "UpdatePaperDownloadStatus": Status 0 (fetching) at once, then after the
// configured delay 1 (through the acceleration channel), 2 (through the
// original channel), -1 (acceleration channel failed) or -2 (original channel
// failed), as the configured outcome decides.
class PaperReporter {
public:
    enum class Outcome { Ok, AccelerationFails, Fails };
    static constexpr int kDefaultDelayMs = 1000;
    static constexpr int kChannelTimeoutMs = 1000;

    PaperReporter(std::string channelUrl, Outcome outcome, int delayMs, Journal& journal);
    ~PaperReporter();

    // channel: "1" acceleration, "0" original, "" from the start.
    void Restart(const std::string& channel);

    static bool ParseOutcome(const std::string& text, Outcome& outcome);

private:
    void Run();
    int FinalStatus(const std::string& channel) const;
    void Report(int status);

    const std::string m_channelUrl;
    const Outcome m_outcome;
    const int m_delayMs;
    Journal& m_journal;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::string> m_jobs;
    bool m_stop = false;
    std::thread m_thread;
};
