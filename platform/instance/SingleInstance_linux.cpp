#include "platform/instance/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr mode_t kPrivateDirMode = 0700;
constexpr mode_t kLockFileMode = 0600;
constexpr const char* kFallbackRoot = "/tmp/";
constexpr const char* kLockSuffix = ".lock";

bool ValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// /tmp is shared by every user: the fallback folder must be a real folder
// (not a link planted by someone else) owned by us and closed to others, or
// another user could hold our lock and keep the client from starting.
bool OwnPrivateFolder(const std::string& path) {
    if (mkdir(path.c_str(), kPrivateDirMode) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        return false;
    }
    return (st.st_mode & 077) == 0 || chmod(path.c_str(), kPrivateDirMode) == 0;
}

}  // namespace

std::string SingleInstance::LockDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
            return runtime;
        }
    }
    std::string fallback = kFallbackRoot + std::to_string(geteuid());
    return OwnPrivateFolder(fallback) ? fallback : std::string();
}

SingleInstance::~SingleInstance() { Release(); }

SingleInstance::Result SingleInstance::Acquire(const std::string& name) {
    if (m_fd >= 0) {
        return Result::Held;
    }
    if (!ValidName(name)) {
        return Result::Failed;
    }
    const std::string folder = LockDirectory();
    if (folder.empty()) {
        return Result::Failed;
    }
    // O_CLOEXEC: programs we start (an installer, a document viewer) must not
    // inherit the lock and keep the next client out after we end.
    const std::string path = folder + "/" + name + kLockSuffix;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kLockFileMode);
    if (fd < 0) {
        return Result::Failed;
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    m_fd = fd;
    return Result::Held;
}

void SingleInstance::Release() {
    if (m_fd >= 0) {
        // The file stays: removing it would race with a starting client that
        // has opened it but not locked it yet.
        close(m_fd);
        m_fd = -1;
    }
}
