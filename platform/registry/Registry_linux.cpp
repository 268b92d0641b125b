#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/registry/RegistryHive.h"

namespace {

constexpr mode_t kHiveMode = 0644;
// A hive is small; anything bigger is not ours and is not read into memory.
constexpr off_t kMaxHiveSize = 16 * 1024 * 1024;

std::string UserConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.config" : std::string("/tmp");
}

// Holds a flock on "<hive>.lock" for the lifetime of the object. The lock
// lives in its own file because the hive itself is replaced by rename.
class HiveLock {
public:
    HiveLock(const std::string& hive, bool exclusive) {
        if (exclusive) {
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(hive).parent_path(), ignored);
            m_fd = open((hive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kHiveMode);
        } else {
            m_fd = open((hive + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
        }
        if (m_fd >= 0) {
            while (flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
        }
    }
    ~HiveLock() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

enum class LoadResult { Loaded, Missing, Failed };

LoadResult LoadHive(const std::string& path, RegistryHive& hive) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size > kMaxHiveSize) {
        close(fd);
        return LoadResult::Failed;
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = read(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(done);
    return hive.Parse(text) ? LoadResult::Loaded : LoadResult::Failed;
}

bool SaveHive(const std::string& path, const RegistryHive& hive) {
    const std::string text = hive.Serialize();
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kHiveMode);
    if (fd < 0) {
        return false;
    }
    fchmod(fd, kHiveMode);  // readable by every user whatever the umask
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    bool synced = fsync(fd) == 0;
    close(fd);
    if (!synced || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    int dir = open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

int ReadHive(const std::string& path, RegistryHive& hive) {
    HiveLock lock(path, false);
    return LoadHive(path, hive) == LoadResult::Loaded ? 0 : -1;
}

// Loads, changes and saves under the exclusive lock. A hive that exists but
// cannot be read is never overwritten: its values would be lost.
int ModifyHive(const std::string& path, const std::function<bool(RegistryHive&)>& change) {
    HiveLock lock(path, true);
    if (!lock.held()) {
        return -1;
    }
    RegistryHive hive;
    if (LoadHive(path, hive) == LoadResult::Failed) {
        return -1;
    }
    if (!change(hive)) {
        return -1;
    }
    return SaveHive(path, hive) ? 0 : -1;
}

}  // namespace

std::string Registry::HivePath(RegistryRoot root) {
    const char* file = root == RegistryRoot::LocalMachine  ? "machine.reg"
                       : root == RegistryRoot::ClassesRoot ? "classes.reg"
                                                           : "user.reg";
    if (const char* forced = std::getenv(kRegistryDirOverride); forced && *forced) {
        return std::string(forced) + "/" + file;
    }
    if (root == RegistryRoot::CurrentUser) {
        return UserConfigHome() + "/KIVO/Qorvane/registry/" + file;
    }
    return std::string(kMachineRegistryDir) + "/" + file;
}

Registry::Registry(RegistryRoot root) : m_path(HivePath(root)) {}

int Registry::ReadString(const std::string& subKey, const std::string& name,
                         std::string& text) const {
    text.clear();
    RegistryHive hive;
    if (ReadHive(m_path, hive) != 0) {
        return -1;
    }
    const RegistryHive::Value* value = hive.FindValue(subKey, name);
    if (!value || value->type != RegistryHive::Type::String) {
        return -1;
    }
    text = value->text;
    return 0;
}

int Registry::ReadDword(const std::string& subKey, const std::string& name,
                        uint32_t& number) const {
    number = 0;
    RegistryHive hive;
    if (ReadHive(m_path, hive) != 0) {
        return -1;
    }
    const RegistryHive::Value* value = hive.FindValue(subKey, name);
    if (!value || value->type != RegistryHive::Type::Dword) {
        return -1;
    }
    number = value->number;
    return 0;
}

int Registry::WriteString(const std::string& subKey, const std::string& name,
                          const std::string& text) {
    return ModifyHive(m_path, [&](RegistryHive& hive) {
        RegistryHive::Value value;
        value.name = name;
        value.type = RegistryHive::Type::String;
        value.text = text;
        hive.SetValue(subKey, value);
        return true;
    });
}

int Registry::WriteDword(const std::string& subKey, const std::string& name, uint32_t number) {
    return ModifyHive(m_path, [&](RegistryHive& hive) {
        RegistryHive::Value value;
        value.name = name;
        value.type = RegistryHive::Type::Dword;
        value.number = number;
        hive.SetValue(subKey, value);
        return true;
    });
}

int Registry::CreateKey(const std::string& subKey) {
    if (RegistryHive::NormalizePath(subKey).empty()) {
        return -1;
    }
    return ModifyHive(m_path, [&](RegistryHive& hive) {
        hive.CreateKey(subKey);
        return true;
    });
}

int Registry::EnumSubKeys(const std::string& subKey, std::vector<std::string>& names) const {
    names.clear();
    RegistryHive hive;
    if (ReadHive(m_path, hive) != 0) {
        return -1;
    }
    if (!RegistryHive::NormalizePath(subKey).empty() && !hive.HasKey(subKey)) {
        return -1;
    }
    names = hive.SubKeys(subKey);
    return 0;
}

int Registry::EnumValues(const std::string& subKey, std::vector<std::string>& names) const {
    names.clear();
    RegistryHive hive;
    if (ReadHive(m_path, hive) != 0 || !hive.HasKey(subKey)) {
        return -1;
    }
    names = hive.ValueNames(subKey);
    return 0;
}

int Registry::DeleteKey(const std::string& subKey) {
    return ModifyHive(m_path, [&](RegistryHive& hive) { return hive.DeleteKey(subKey); });
}

int Registry::DeleteValue(const std::string& subKey, const std::string& name) {
    return ModifyHive(m_path, [&](RegistryHive& hive) { return hive.DeleteValue(subKey, name); });
}

bool Registry::KeyExists(const std::string& subKey) const {
    RegistryHive hive;
    return ReadHive(m_path, hive) == 0 && hive.HasKey(subKey);
}

int RegReadString(const std::string& subKey, const std::string& name, std::string& text) {
    return Registry(RegistryRoot::LocalMachine).ReadString(subKey, name, text);
}

int RegWriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                   const std::string& text) {
    return Registry(root).WriteString(subKey, name, text);
}

int RegReadDword(const std::string& subKey, const std::string& name, uint32_t& number) {
    return Registry(RegistryRoot::CurrentUser).ReadDword(subKey, name, number);
}

int RegWriteDword(const std::string& subKey, const std::string& name, uint32_t number) {
    return Registry(RegistryRoot::CurrentUser).WriteDword(subKey, name, number);
}
