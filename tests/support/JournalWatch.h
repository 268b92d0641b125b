#pragma once

#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

// Reads a stand-in's journal (one JSON object per line) and waits for lines
// to arrive: the wait sleeps on inotify, so a test that expects the client
// to deliver something wakes as soon as the stand-in has written it.
class JournalWatch {
public:
    explicit JournalWatch(std::string path);
    ~JournalWatch();
    JournalWatch(const JournalWatch&) = delete;
    JournalWatch& operator=(const JournalWatch&) = delete;

    // Every entry written so far, in order.
    std::vector<Json::Value> Entries();
    // Waits until an entry matches; true with the entry in found (when given).
    bool WaitFor(const std::function<bool(const Json::Value&)>& match, int timeoutMs,
                 Json::Value* found = nullptr);

private:
    void ReadNewLines();

    std::string m_path;
    int m_notify = -1;
    size_t m_offset = 0;
    std::string m_partial;
    std::vector<Json::Value> m_entries;
};
