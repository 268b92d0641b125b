#include "platform/ipc/IpcName.h"

#include <unistd.h>

#include <cstdlib>

namespace {

constexpr const char kGlobalPrefix[] = "Global\\";
constexpr const char kLocalPrefix[] = "Local\\";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string PosixIpcName(const std::string& name) {
    std::string rest = name;
    bool global = false;
    if (StartsWith(name, kGlobalPrefix)) {
        global = true;
        rest = name.substr(std::char_traits<char>::length(kGlobalPrefix));
    } else if (StartsWith(name, kLocalPrefix)) {
        rest = name.substr(std::char_traits<char>::length(kLocalPrefix));
    }
    const char* prefix = std::getenv(kIpcPrefixEnvironment);
    std::string posix = "/";
    if (prefix != nullptr) {
        posix += prefix;
    }
    posix += rest;
    if (!global) {
        posix += "." + std::to_string(getuid());
    }
    for (size_t i = 1; i < posix.size(); ++i) {
        if (posix[i] == '/' || posix[i] == '\\') {
            posix[i] = '_';
        }
    }
    return posix;
}
