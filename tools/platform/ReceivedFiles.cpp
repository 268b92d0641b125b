#include "tools/platform/ReceivedFiles.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

}  // namespace

bool IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.size() > 255) {
        return false;
    }
    for (char c : path) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' &&
            c != '/') {
            return false;
        }
    }
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
    }
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

std::string ReceivedFiles::Save(const std::string& folder, const std::string& name,
                                const std::string& bytes) {
    std::string path = PathOf(folder, std::to_string(++m_counter) + "_" + name);
    return WriteFile(path, bytes) ? path : "";
}

bool ReceivedFiles::Put(const std::string& folder, const std::string& relative,
                        const std::string& bytes) {
    return IsSafeRelativePath(relative) && WriteFile(PathOf(folder, relative), bytes);
}

std::string ReceivedFiles::PathOf(const std::string& folder, const std::string& relative) const {
    return m_dataDir + "/" + folder + "/" + relative;
}
