#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "foundation/LogWriter.h"

// The client's synchronous text log. Every call formats one line and appends it
// to the file at once on the caller's thread; the file is open only while that
// line is written, so another process may rename or delete it between lines.
// Lines written before Open() (or after Open(nullptr)) go to standard output.
class ClientLog : public LogWriter {
public:
    static constexpr long kRotateSize = 10 * 1024 * 1024;

    static ClientLog& Instance();

    void Open(const char* path);

    std::string Path() const;

    // Exposed for tests: a fresh object not tied to the process-wide one.
    ClientLog() = default;

private:
    int WriteMessage(Level level, const std::string& message) override;
    void OpenFile();
    void CloseFile();

    mutable std::mutex m_lock;
    std::string m_directory;
    std::string m_fileName;
    std::string m_path;
    FILE* m_file = stdout;
};

#define LOG_INFO(...) ClientLog::Instance().Write(__VA_ARGS__)
#define LOG_WARN(...) ClientLog::Instance().Warning(__VA_ARGS__)
#define LOG_ERROR(...) ClientLog::Instance().Error(__VA_ARGS__)
