#include "officecontainer/OfficeLocation.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool HoldsOffice(const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(folder / kOfficeProgram, error) &&
           fs::is_regular_file(folder / "fundamentalrc", error);
}

// "soffice" on the PATH is usually a link (/usr/bin/soffice ->
// ../lib/libreoffice/program/soffice); its real folder is the program folder.
std::string FromPath() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::error_code error;
        const fs::path launcher = fs::path(folder.empty() ? "." : folder) / "soffice";
        if (!fs::exists(launcher, error)) {
            continue;
        }
        const fs::path real = fs::canonical(launcher, error);
        if (!error && HoldsOffice(real.parent_path())) {
            return real.parent_path();
        }
    }
    return {};
}

}  // namespace

std::string FindOfficeProgramDir() {
    if (const char* chosen = std::getenv(kOfficeDirEnvironment); chosen && chosen[0]) {
        return HoldsOffice(chosen) ? std::string(chosen) : std::string();
    }
    std::string found = FromPath();
    if (found.empty() && HoldsOffice(kDefaultOfficeDir)) {
        found = kDefaultOfficeDir;
    }
    return found;
}
