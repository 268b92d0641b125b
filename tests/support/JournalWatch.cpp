#include "tests/support/JournalWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr size_t kEventBuffer = 4096;

}  // namespace

JournalWatch::JournalWatch(std::string path) : m_path(std::move(path)) {
    m_notify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // Watch the folder: the journal may not exist yet.
    std::string folder = std::filesystem::path(m_path).parent_path().string();
    if (m_notify >= 0) {
        inotify_add_watch(m_notify, folder.empty() ? "." : folder.c_str(),
                          IN_MODIFY | IN_CREATE | IN_MOVED_TO);
    }
}

JournalWatch::~JournalWatch() {
    if (m_notify >= 0) {
        close(m_notify);
    }
}

void JournalWatch::ReadNewLines() {
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        return;
    }
    in.seekg(static_cast<std::streamoff>(m_offset));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_offset += chunk.size();
    m_partial += chunk;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    size_t end;
    while ((end = m_partial.find('\n')) != std::string::npos) {
        std::string line = m_partial.substr(0, end);
        m_partial.erase(0, end + 1);
        Json::Value entry;
        std::string errors;
        if (reader->parse(line.data(), line.data() + line.size(), &entry, &errors)) {
            m_entries.push_back(entry);
        }
    }
}

std::vector<Json::Value> JournalWatch::Entries() {
    ReadNewLines();
    return m_entries;
}

bool JournalWatch::WaitFor(const std::function<bool(const Json::Value&)>& match, int timeoutMs,
                           Json::Value* found) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t checked = 0;
    while (true) {
        ReadNewLines();
        for (; checked < m_entries.size(); ++checked) {
            if (match(m_entries[checked])) {
                if (found != nullptr) {
                    *found = m_entries[checked];
                }
                return true;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || m_notify < 0) {
            return false;
        }
        pollfd wait{m_notify, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) > 0) {
            char events[kEventBuffer];
            while (read(m_notify, events, sizeof(events)) > 0) {
            }
        }
    }
}
