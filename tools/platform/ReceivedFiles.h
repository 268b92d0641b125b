#pragma once

#include <atomic>
#include <string>

// Where the stand-in keeps what it receives (answers, snapshots, box
// deliveries, uploaded documents): numbered files under one data folder, so
// tests and people can look at them afterwards.
class ReceivedFiles {
public:
    explicit ReceivedFiles(std::string dataDir) : m_dataDir(std::move(dataDir)) {}

    // Writes data/<folder>/<number>_<name>; returns the path, empty on failure.
    std::string Save(const std::string& folder, const std::string& name, const std::string& bytes);
    // Writes data/<folder>/<relative> (replacing it); false on failure.
    bool Put(const std::string& folder, const std::string& relative, const std::string& bytes);
    std::string PathOf(const std::string& folder, const std::string& relative) const;
    const std::string& DataDir() const { return m_dataDir; }

private:
    std::string m_dataDir;
    std::atomic<int> m_counter{0};
};

// A relative file name a request may use: letters, digits, "-", "_", ".", "/",
// no ".." component and no leading "/".
bool IsSafeRelativePath(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string& bytes);
