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

int ClientLog::WriteMessage(Level level, const std::string& message) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string line;
    if (message == "\n") {
        line = message;  // a bare line break stays one, without a stamp
    } else {
        const char* prefix = level == Level::Warning ? "Warning: "
                             : level == Level::Error ? "Error: "
                             : level == Level::Debug ? "Debug: "
                                                     : "";
        AppendLine(line, prefix, message);
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
