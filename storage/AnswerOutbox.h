#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "storage/PendingAnswer.h"

struct sqlite3;

// The client's own durable copy of every answer not yet delivered, in its
// database file (Qorvane.db in the data folder). A write returns only after
// SQLite has committed it to disk, so an answer that was acknowledged
// survives a crash of the client or a power cut, whatever the downloader
// did with it.
//
// Besides the pending answers it keeps, per learner and exam, the server
// path the answer goes to (the downloader's table has no column for it) and
// the time of the last delivered version, so a stale row read back from the
// downloader is neither posted to the bare server address nor sent twice.
class AnswerOutbox {
public:
    static constexpr int kBusyTimeoutMs = 5000;

    AnswerOutbox() = default;
    ~AnswerOutbox();
    AnswerOutbox(const AnswerOutbox&) = delete;
    AnswerOutbox& operator=(const AnswerOutbox&) = delete;

    // Opens (creating) the file and its tables; false with Error() set.
    bool Open(const std::string& file);
    void Close();
    bool IsOpen() const;
    std::string Error() const;

    // Replaces the answer of its learner and exam and records its path.
    bool Put(const PendingAnswer& answer);
    // Removes the answer when it is still at that version and records the
    // delivery time; false on a database error.
    bool Retire(const PendingAnswer& answer);
    // Every pending answer, oldest submission first.
    std::vector<PendingAnswer> Load();
    // The highest version ever stored (0 for none).
    uint64_t LastVersion();
    // The path stored for a learner and exam (empty when unknown) and the
    // submission time of its last delivered version (0 for none).
    bool Lookup(const std::string& userUid, const std::string& examUid, std::string& path,
                int64_t& deliveredTime);

    // Moves committed answers from the write-ahead log into the file once
    // the log holds kCheckpointBytes of answers. Writes never do this
    // themselves, so a hand-in waits only for its own commit; the worker
    // calls it after a pass, on a connection of its own, which lets hand-ins
    // go on meanwhile. Checkpointing rarely also means a hand-in mostly
    // overwrites a log of settled size in place instead of restarting it,
    // which costs the file system one flush instead of two.
    static constexpr size_t kCheckpointBytes = 16 * 1024 * 1024;
    void Checkpoint();

private:
    bool Run(const char* sql);

    mutable std::mutex m_lock;
    sqlite3* m_db = nullptr;
    std::string m_error;
    std::mutex m_checkpointLock;
    sqlite3* m_checkpointDb = nullptr;
    size_t m_loggedBytes = 0;  // under m_lock
};
