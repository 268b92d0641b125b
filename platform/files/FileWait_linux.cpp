#include "platform/files/FileWait.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool WaitForFileWritten(const std::string& path, int timeoutMs) {
    size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) {
        return Exists(path);
    }
    // Watching first, then looking: a file written in between is not missed.
    bool found =
        inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) >= 0 && Exists(path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    alignas(inotify_event) char buffer[4096];
    while (!found) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            break;
        }
        pollfd entry{fd, POLLIN, 0};
        int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        ssize_t length = read(fd, buffer, sizeof(buffer));
        for (ssize_t offset = 0; length > 0 && offset < length;) {
            auto* event = reinterpret_cast<inotify_event*>(buffer + offset);
            if (event->len > 0 && name == event->name) {
                found = Exists(path);
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(fd);
    return found;
}
