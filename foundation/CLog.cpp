#include "foundation/CLog.h"

#include <cstring>

#include "foundation/FileUtil.h"
#include "foundation/TextUtil.h"

CLog& CLog::Instance() {
    static CLog log;
    return log;
}

CLog::CLog() : CLog(Limits{}) {}

CLog::CLog(Limits limits, Clock& clock)
    : m_limits(limits), m_clock(clock), m_lastWrite(clock.Now()) {}

CLog::~CLog() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
    std::lock_guard<std::mutex> guard(m_fileLock);
    CloseFile();
}

std::string CLog::IndexFilePath() const {
    return m_basePath + "_" + std::to_string(m_index) + ".log";
}

void CLog::CloseFile() {
    if (m_file != nullptr && m_file != stdout) {
        fclose(m_file);
    }
    m_file = stdout;
    m_currentSize = 0;
}

// Opens the file of the current index; a file that cannot be opened sends the
// log to standard output instead of stopping the program.
void CLog::OpenIndexFile(const char* mode) {
    CloseFile();
    std::string path = IndexFilePath();
    FILE* file = fopen(path.c_str(), mode);
    if (file == nullptr) {
        fprintf(stderr, "Open LOG %s failed.\n", path.c_str());
        return;
    }
    m_file = file;
    m_currentSize = OpenFileSize(file);
}

void CLog::Open(const char* path) {
    {
        std::lock_guard<std::mutex> guard(m_fileLock);
        CloseFile();
        if (path == nullptr) {
            m_basePath.clear();
        } else {
            m_basePath = path;
            OpenIndexFile("a");
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writer.joinable() && !m_stop) {
        m_lastWrite = m_clock.Now();
        m_writer = std::thread(&CLog::Run, this);
    }
}

void CLog::SetLevel(int level) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_level = level;
}

size_t CLog::PendingSize() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pending.size();
}

int CLog::WriteMessage(Level level, const std::string& message) {
    if (level == Level::Debug) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_level > kDebugLevel) {
            return 0;
        }
    }
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_pending.size() >= kPendingLimit) {
        return -1;
    }
    size_t before = m_pending.size();
    const char* prefix = level == Level::Error     ? "Error:"
                         : level == Level::Debug   ? "Debug:"
                         : level == Level::Warning ? "Warning:"
                                                   : "";
    AppendLine(m_pending, prefix, message);
    // Wake the writer only when its wait condition changes: the first pending
    // line starts the delay, crossing the threshold ends it.
    bool wake = before == 0 || (before < kWriteThreshold && m_pending.size() >= kWriteThreshold);
    lock.unlock();
    if (wake) {
        m_wake.notify_one();
    }
    return 0;
}

void CLog::Run() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        if (m_stop) {
            // Lines written before the end of the program still reach the file.
            std::string rest;
            rest.swap(m_pending);
            lock.unlock();
            if (!rest.empty()) {
                WriteOut(rest);
            }
            return;
        }
        if (m_pending.empty()) {
            m_wake.wait(lock);
            continue;
        }
        Clock::TimePoint due = m_lastWrite + kWriteDelay;
        if (m_pending.size() < kWriteThreshold && m_clock.Now() < due) {
            m_clock.WaitUntil(m_wake, lock, due);
            continue;
        }
        std::string text;
        text.swap(m_pending);
        lock.unlock();
        WriteOut(text);
        lock.lock();
        m_lastWrite = m_clock.Now();
    }
}

void CLog::WriteOut(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_fileLock);
    if (m_file != stdout && m_currentSize >= m_limits.fileSizeLimit) {
        m_index += 1;
        if (m_index >= m_limits.fileCount) {
            m_index = 0;
            OpenIndexFile("w");
        } else {
            OpenIndexFile("a");
            // A file left full by an earlier round starts over; appending to
            // it would write one chunk per file and cycle through all of them.
            if (m_file != stdout && m_currentSize >= m_limits.fileSizeLimit) {
                OpenIndexFile("w");
            }
        }
    }
    fwrite(text.data(), 1, text.size(), m_file);
    fflush(m_file);
    if (m_file != stdout) {
        m_currentSize += static_cast<long>(text.size());
    }
}
