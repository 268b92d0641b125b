#include "tools/downloader/PaperReporter.h"

#include <httplib.h>

#include <chrono>

PaperReporter::PaperReporter(std::string channelUrl, Outcome outcome, int delayMs, Journal& journal)
    : m_channelUrl(std::move(channelUrl)),
      m_outcome(outcome),
      m_delayMs(delayMs),
      m_journal(journal) {
    m_thread = std::thread([this] { Run(); });
}

PaperReporter::~PaperReporter() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool PaperReporter::ParseOutcome(const std::string& text, Outcome& outcome) {
    if (text == "ok") {
        outcome = Outcome::Ok;
    } else if (text == "accel-fails") {
        outcome = Outcome::AccelerationFails;
    } else if (text == "fail") {
        outcome = Outcome::Fails;
    } else {
        return false;
    }
    return true;
}

void PaperReporter::Restart(const std::string& channel) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_jobs.push_back(channel);
    }
    m_wake.notify_all();
}

int PaperReporter::FinalStatus(const std::string& channel) const {
    const bool original = channel == "0";
    switch (m_outcome) {
        case Outcome::Ok:
            return original ? 2 : 1;
        case Outcome::AccelerationFails:
            return original ? 2 : -1;
        case Outcome::Fails:
            return original ? -2 : -1;
    }
    return -2;
}

void PaperReporter::Report(int status) {
    httplib::Client client(m_channelUrl);
    const auto limit = std::chrono::milliseconds(kChannelTimeoutMs);
    client.set_connection_timeout(limit);
    client.set_read_timeout(limit);
    const std::string path =
        "/EXAMREQUEST.KIVO?MethodName=UpdatePaperDownloadStatus&Status=" + std::to_string(status);
    auto result = client.Get(path.c_str());
    m_journal.Note("downloader", "UpdatePaperDownloadStatus",
                   std::to_string(status) + (result ? " delivered" : " not delivered"));
}

void PaperReporter::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    while (true) {
        m_wake.wait(hold, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop) {
            return;
        }
        const std::string channel = m_jobs.front();
        m_jobs.pop_front();
        hold.unlock();
        Report(0);
        hold.lock();
        // The fetch "takes" the delay; a shutdown ends it early.
        if (m_wake.wait_for(hold, std::chrono::milliseconds(m_delayMs),
                            [this] { return m_stop; })) {
            return;
        }
        hold.unlock();
        Report(FinalStatus(channel));
        hold.lock();
    }
}
