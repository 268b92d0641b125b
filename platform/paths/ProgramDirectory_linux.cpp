#include "platform/paths/ProgramDirectory.h"

#include <unistd.h>

#include <climits>

std::string ProgramPath() {
    char target[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", target, sizeof(target) - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

std::string ProgramDirectory() {
    std::string path = ProgramPath();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
