#pragma once

#include <httplib.h>

#include <fstream>
#include <mutex>
#include <string>

// Appends one JSON line per received request, written before the request is
// answered, so a test that has its answer finds the line already in the file.
// Fields: time (ms since 1970), role, port, method, path, target, query (name
// to value, or to an array when repeated), headers, bodySize, body (when it is
// UTF-8 text of at most kMaxBodyText bytes), form (multipart fields and files).
class Journal {
public:
    static constexpr size_t kMaxBodyText = 1024 * 1024;

    // An empty path keeps the journal off. False when the file cannot be opened.
    bool Open(const std::string& path);
    void Record(const std::string& role, int port, const httplib::Request& request);
    // For events that are not requests (a simulated download finished, ...).
    void Note(const std::string& role, const std::string& event, const std::string& detail);

private:
    void WriteLine(const std::string& line);

    std::mutex m_lock;
    std::ofstream m_file;
};
