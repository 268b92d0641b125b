#include "foundation/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "foundation/TextUtil.h"

namespace {

constexpr size_t kShortestPath = 2;
constexpr mode_t kDirectoryMode = 0777;  // narrowed by the umask
constexpr mode_t kFileMode = 0666;

// Splits at "/" and "\", keeping only the components that name something.
std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> kept;
    std::string current;
    auto finish = [&]() {
        if (current == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!current.empty() && current != ".") {
            kept.push_back(current);
        }
        current.clear();
    };
    for (char c : path) {
        if (c == '/' || c == '\\') {
            finish();
        } else {
            current += c;
        }
    }
    finish();
    return kept;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool IsDirectoryWritable(const std::string& directory) {
    thread_local std::mt19937 random{std::random_device{}()};
    std::string base = directory;
    if (!base.empty() && !IsSeparator(base.back())) {
        base += '/';
    }
    std::string name =
        FormatString("%stmpfn.%u.%u.%u.test", base.c_str(), static_cast<unsigned>(time(nullptr)),
                     static_cast<unsigned>(getpid()), static_cast<unsigned>(random()));
    // O_EXCL: never truncate or remove a file that happens to have this name.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        return false;
    }
    close(fd);
    unlink(name.c_str());
    return true;
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

int MakeDirectoryTree(const std::string& path) {
    if (path.size() < kShortestPath) {
        return -1;
    }
    std::string prefix = IsSeparator(path.front()) ? "/" : "";
    for (const std::string& component : Components(path)) {
        if (!prefix.empty() && prefix.back() != '/') {
            prefix += '/';
        }
        prefix += component;
        // Existing directories fail with EEXIST; any other failure shows in
        // the check below.
        mkdir(prefix.c_str(), kDirectoryMode);
    }
    if (prefix.empty()) {
        return 0;
    }
    return IsDirectory(prefix) ? 0 : -1;
}

void NormalizePath(std::string& path) {
    if (path.size() < kShortestPath) {
        return;
    }
    bool leading = IsSeparator(path.front());
    bool trailing = IsSeparator(path.back());
    std::vector<std::string> kept = Components(path);
    std::string out;
    if (leading) {
        out += '/';
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += kept[i];
    }
    if (kept.empty()) {
        if (!leading) {
            out += '.';
        }
    } else if (trailing) {
        out += '/';
    }
    path.swap(out);
}

int WriteFileBytes(const std::string& path, std::string_view bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return -1;
    }
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool closed = std::fclose(file) == 0;
    return written == bytes.size() && closed ? 0 : -1;
}

long OpenFileSize(FILE* file) {
    struct stat st {};
    if (file == nullptr || fstat(fileno(file), &st) != 0) {
        return 0;
    }
    return static_cast<long>(st.st_size);
}
