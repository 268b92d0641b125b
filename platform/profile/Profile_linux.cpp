#include "platform/profile/Profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/profile/ProfileText.h"

namespace {

// Settings files are a few lines long; anything bigger is not ours and is
// neither read into memory nor overwritten.
constexpr off_t kMaxProfileSize = 4 * 1024 * 1024;
constexpr mode_t kNewFileMode = 0644;

enum class LoadResult { Loaded, Missing, Failed };

LoadResult LoadFile(const std::string& path, std::string& text, mode_t& mode) {
    text.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxProfileSize) {
        close(fd);
        return LoadResult::Failed;
    }
    mode = st.st_mode & 07777;
    text.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            close(fd);
            return LoadResult::Failed;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(done);
    return LoadResult::Loaded;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes a sibling temporary file, flushes it and renames it over the file,
// so the file is always either the old or the new contents.
bool ReplaceFile(const std::string& path, const std::string& text, mode_t mode) {
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        return false;
    }
    if (mode != 0) {
        fchmod(fd, mode);  // an existing file keeps its permissions
    }
    bool written = WriteAll(fd, text) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    std::string folder = std::filesystem::path(path).parent_path().string();
    int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

// An exclusive flock on "<file>.lock" while the object lives. Writers take
// it so that two read-change-write rounds (threads or processes) never lose
// each other's change; the lock lives in a file of its own because the
// settings file itself is replaced by rename. Readers need no lock.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) {
        m_fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
        if (m_fd < 0) {
            return;
        }
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~WriteLock() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

bool HasLineBreak(const std::string& text) {
    return text.find('\n') != std::string::npos || text.find('\r') != std::string::npos;
}

bool IsBlankOnly(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

// A key starting like this would be read back as a header or a comment.
bool StartsLikeHeaderOrComment(const std::string& key) {
    size_t first = key.find_first_not_of(" \t");
    return first != std::string::npos && (key[first] == '[' || key[first] == ';');
}

bool ValidWrite(const std::string& section, const std::string& key, const std::string& text) {
    return !IsBlankOnly(section) && !HasLineBreak(section) &&
           section.find(']') == std::string::npos && !IsBlankOnly(key) && !HasLineBreak(key) &&
           key.find('=') == std::string::npos && !StartsLikeHeaderOrComment(key) &&
           !HasLineBreak(text);
}

}  // namespace

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& defaultText, const std::string& path) {
    std::string text;
    mode_t mode = 0;
    if (LoadFile(path, text, mode) != LoadResult::Loaded) {
        return defaultText;
    }
    std::optional<std::string> value = ProfileText(text).Find(section, key);
    return value ? *value : defaultText;
}

int ProfileReadInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path) {
    // An empty value counts as missing, as it always has for profile integers.
    std::string value = ProfileReadString(section, key, "", path);
    if (value.empty()) {
        return defaultValue;
    }
    return ProfileText::ParseLeadingInt(value);
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& text, const std::string& path) {
    if (!ValidWrite(section, key, text) || path.empty()) {
        return false;
    }
    WriteLock lock(path);
    if (!lock.held()) {
        return false;
    }
    std::string current;
    mode_t mode = 0;
    // A file that exists but cannot be read is never overwritten: its other
    // settings would be lost.
    if (LoadFile(path, current, mode) == LoadResult::Failed) {
        return false;
    }
    ProfileText profile(current);
    profile.Set(section, key, text);
    return ReplaceFile(path, profile.Serialize(), mode);
}
