#pragma once

#include <mutex>
#include <string>

// Where windows find their layouts, images and string table: the archive
// "skin.zip" beside the program, or, when there is no archive, the folder
// "skin" beside it. Switching to another skin ("skin2.zip") changes both the
// archive name and the folder name ("skin2").
class SkinStore {
public:
    static constexpr const char* kDefaultArchive = "skin.zip";
    // A single skin file larger than this is not a skin file.
    static constexpr size_t kMaxFileSize = 32 * 1024 * 1024;

    static SkinStore& Instance();

    void SetResourcePath(const std::string& programDir);
    void SetArchive(const std::string& archiveName);
    std::string Archive() const;

    // The file's bytes; false when neither the archive nor the folder has it.
    bool Read(const std::string& name, std::string& bytes) const;
    // true when the archive or the folder exists at all.
    bool Available() const;

private:
    bool ReadFromArchive(const std::string& archive, const std::string& name,
                         std::string& bytes) const;

    mutable std::mutex m_lock;
    std::string m_programDir;
    std::string m_archive = kDefaultArchive;
};
