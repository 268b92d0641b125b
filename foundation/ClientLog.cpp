#include "foundation/ClientLog.h"

#include <cstdarg>
#include <cstring>

#include "foundation/FileUtil.h"
#include "foundation/TextUtil.h"

ClientLog& ClientLog::Instance() {
    static ClientLog log;
    return log;
}

void ClientLog::Open(const char* path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_directory.clear();
    m_fileName.clear();
    m_path.clear();
    if (path != nullptr) {
        std::string full(path);
        size_t cut = full.find_last_of("/\\");
        if (cut == std::string::npos) {
            m_fileName = full;
        } else {
            // Native separators: a Windows-style backslash becomes "/".
            m_directory = full.substr(0, cut + 1);
            for (char& c : m_directory) {
                if (c == '\\') {
                    c = '/';
                }
            }
            m_fileName = full.substr(cut + 1);
        }
        m_path = m_directory + m_fileName;
    }
    // Open once so that a bad path is reported right away, then close again.
    OpenFile();
    CloseFile();
}

std::string ClientLog::Path() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_path;
}

void ClientLog::CloseFile() {
    if (m_file != stdout && m_file != nullptr) {
        fclose(m_file);
    }
    m_file = stdout;
}

void ClientLog::OpenFile() {
    CloseFile();
    if (m_path.empty()) {
        return;
    }
    m_file = fopen(m_path.c_str(), "a");
    if (m_file == nullptr) {
        fprintf(stderr, "Open LOG %s failed. Err info: %s\n", m_path.c_str(), strerror(errno));
        m_file = stdout;
        return;
    }
    while (OpenFileSize(m_file) >= kRotateSize) {
        fclose(m_file);
        std::string old = m_path + ".old";
        remove(old.c_str());
        rename(m_path.c_str(), old.c_str());
        m_file = fopen(m_path.c_str(), "a");
        if (m_file == nullptr) {
            fprintf(stderr, "Open LOG %s failed.\n", m_path.c_str());
            m_file = stdout;
            return;
        }
    }
}

int ClientLog::WriteLine(Level level, const char* format, va_list args) {
    if (format == nullptr || format[0] == '\0') {
        return 0;
    }
    char message[kMessageBufferSize];
    vsnprintf(message, sizeof(message), format, args);

    std::lock_guard<std::mutex> guard(m_lock);
    // The timestamp is taken under the lock so that lines stay in time order.
    std::string line;
    if (strcmp(message, "\n") != 0) {
        line = "[" + TimestampText() + "] ";
        if (level == Level::Warning) {
            line += "Warning: ";
        } else if (level == Level::Error) {
            line += "Error: ";
        }
    }
    line += message;
    if (line.back() != '\n') {
        line += '\n';
    }
    OpenFile();
    fwrite(line.data(), 1, line.size(), m_file);
    fflush(m_file);
    if (m_file != stdout) {
        fwrite(line.data(), 1, line.size(), stdout);
        fflush(stdout);
    }
    CloseFile();
    return 0;
}

int ClientLog::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = WriteLine(Level::Plain, format, args);
    va_end(args);
    return result;
}

int ClientLog::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = WriteLine(Level::Warning, format, args);
    va_end(args);
    return result;
}

int ClientLog::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = WriteLine(Level::Error, format, args);
    va_end(args);
    return result;
}
