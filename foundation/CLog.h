#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/LogWriter.h"

// The asynchronous log of the service and the recorder. A call only formats
// its line and appends it to a pending text in memory; the log's own writer
// thread moves the pending text to numbered files "<base>_<n>.log", so callers
// never wait for the disk. The writer sleeps until there is enough to write
// (kWriteThreshold bytes) or a line has waited kWriteDelay.
class CLog : public LogWriter {
public:
    static constexpr size_t kPendingLimit = 16 * 1024 * 1024;
    static constexpr int kFileCount = 10;
    static constexpr long kFileSizeLimit = 16 * 1024 * 1024;
    static constexpr size_t kWriteThreshold = 1024;
    static constexpr std::chrono::seconds kWriteDelay{3};
    // Debug lines are kept only while the level is at most this.
    static constexpr int kDebugLevel = 1;

    // File rotation settings; tests use small files.
    struct Limits {
        int fileCount = kFileCount;
        long fileSizeLimit = kFileSizeLimit;
    };

    static CLog& Instance();

    CLog();
    // The writer's delay runs on clock (tests move it on by hand).
    explicit CLog(Limits limits, Clock& clock = Clock::Steady());
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Sets the base path (null: standard output), opens the current file for
    // appending and starts the writer thread when it is not running yet.
    void Open(const char* path);

    // Write, Error and Debug return 0, or -1 when the line is dropped
    // because kPendingLimit bytes are already waiting.

    void SetLevel(int level);
    size_t PendingSize() const;

private:
    int WriteMessage(Level level, const std::string& message) override;
    void Run();
    void WriteOut(const std::string& text);
    void OpenIndexFile(const char* mode);
    void CloseFile();
    std::string IndexFilePath() const;

    const Limits m_limits;
    Clock& m_clock;

    // Guards the pending text and the writer's wake-up state.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::string m_pending;
    bool m_stop = false;
    Clock::TimePoint m_lastWrite;
    int m_level = kDebugLevel;

    // Guards the file; held by the writer while writing, never with m_lock.
    std::mutex m_fileLock;
    std::string m_basePath;
    FILE* m_file = stdout;
    int m_index = 0;
    long m_currentSize = 0;

    std::thread m_writer;
};

#define SVC_LOG(...) CLog::Instance().Write(__VA_ARGS__)
#define SVC_ERROR(...) CLog::Instance().Error(__VA_ARGS__)
#define REC_DEBUG(...) CLog::Instance().Debug(__VA_ARGS__)
