#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/inhibit/ShutdownInhibitor.h"
#include "storage/AnswerOutbox.h"
#include "storage/PendingAnswer.h"

// Handed-in exam answers on their way to the platform's server or, when the
// server cannot take them, to one of its cache boxes.
//
// Submit makes an answer durable in the client's own outbox before it says
// yes; one worker, living as long as the client, mirrors answers into the
// downloader's examAnswer table and delivers them, retrying with growing
// waits until each is delivered. Answers left from an earlier run (in the
// outbox, or only in the downloader's table) are read back and delivered at
// start. Network waits happen without the queue lock, so the GUI thread's
// HasPendingAnswers never waits for a delivery.
class AnswerStore {
public:
    static constexpr int kSubmitOk = 0;
    static constexpr int kSubmitNotJson = -1;    // the body is not the answer JSON
    static constexpr int kSubmitNotStored = -2;  // neither the outbox nor the downloader took it
    // Retries start after this wait and double up to the longest one.
    static constexpr int kFirstRetryMs = 5000;
    static constexpr int kLongestRetryMs = 5 * 60 * 1000;
    // Tests shorten the first wait.
    static constexpr const char* kRetryEnvironment = "QORVANE_ANSWER_RETRY_MS";
    // How long the exit waits for a delivery in flight.
    static constexpr int kStopWaitMs = 3000;
    static constexpr const char* kOutboxFileName = "Qorvane.db";

    static AnswerStore& Instance();

    // Opens the outbox in the data folder, reads back what is pending and
    // starts the worker. Later calls do nothing. False when the outbox cannot
    // be opened (the store then keeps answers in memory and the downloader).
    bool Start(const std::string& dataPath);
    // Ends the worker (waiting at most kStopWaitMs for a delivery in flight).
    void Stop();

    // Takes the body of a SubmitExamAnswers request.
    int Submit(const std::string& body);
    bool HasPendingAnswers() const;
    // Called, from the thread that made the change and without the queue
    // lock held, whenever HasPendingAnswers may have changed; the listener
    // reads the state itself.
    void SetPendingListener(std::function<void()> listener);
    // Holds the system's shutdown block (logind's inhibitor locks) whenever
    // an answer is pending; the delay lock buys one last delivery attempt
    // when the system goes down anyway.
    void InstallShutdownBlock();
    // One delivery pass right now on the calling thread, bounded by
    // timeoutMs (the system is about to go down).
    void DeliverNow(int timeoutMs);

    AnswerStore() = default;
    ~AnswerStore();
    AnswerStore(const AnswerStore&) = delete;
    AnswerStore& operator=(const AnswerStore&) = delete;

private:
    void Run();
    // timeoutMs bounds each request; budgetMs (when above 0) the whole pass.
    bool Pass(int timeoutMs, int budgetMs = 0);
    void ReadBackFromDownloader();
    void Mirror(const PendingAnswer& answer);
    bool Deliver(const PendingAnswer& answer, int timeoutMs);
    std::vector<std::string> BoxesFor(const std::string& url, int timeoutMs);
    void Retire(const PendingAnswer& answer);
    void PendingChanged();
    bool ReplaceOrAppend(PendingAnswer answer);
    int FirstRetryMs() const;

    mutable std::mutex m_lock;  // m_pending, m_wake, m_stop
    std::condition_variable m_wakeUp;
    // Shared, so a pass copies pointers, not megabytes of answer text.
    std::deque<std::shared_ptr<const PendingAnswer>> m_pending;
    bool m_wake = false;
    bool m_stop = false;
    bool m_started = false;
    uint64_t m_nextVersion = 1;

    std::timed_mutex m_passLock;  // one pass at a time (worker or the last attempt)
    std::atomic<bool> m_readBackDone{false};
    bool m_tableReady = false;
    std::mutex m_submitLock;  // versions reach the outbox in the order they were given
    std::map<std::string, std::vector<std::string>> m_boxes;
    std::mt19937 m_random{std::random_device{}()};

    AnswerOutbox m_outbox;
    std::mutex m_listenerLock;
    std::function<void()> m_listener;
    std::unique_ptr<ShutdownInhibitor> m_inhibitor;
    std::thread m_worker;
    std::mutex m_doneLock;
    std::condition_variable m_doneSignal;
    bool m_done = false;
};
