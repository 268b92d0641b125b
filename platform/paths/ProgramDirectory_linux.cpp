#include "platform/paths/ProgramDirectory.h"

#include <unistd.h>

#include <climits>

std::string ProgramDirectory() {
    char target[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", target, sizeof(target) - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(target, static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
