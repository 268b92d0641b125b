#include "platform/paths/DataPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/FileUtil.h"
#include "platform/registry/Registry.h"

namespace {

std::string UserDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.local/share" : std::string();
}

}  // namespace

std::vector<std::string> DataPathCandidates() {
    if (const char* forced = std::getenv(kDataPathOverride); forced && *forced) {
        return {forced};
    }
    std::vector<std::string> candidates;
    std::string registered;
    if (RegReadString(kProductRegistryKey, kDataPathValue, registered) == 0 &&
        !registered.empty()) {
        candidates.push_back(registered);
    }
    candidates.push_back(kMachineDataPath);
    std::string user = UserDataHome();
    if (!user.empty()) {
        candidates.push_back(user + "/" + kUserDataSuffix);
    }
    return candidates;
}

std::string ChooseDataPath() {
    for (const std::string& candidate : DataPathCandidates()) {
        if (MakeDirectoryTree(candidate) == 0 && IsDirectoryWritable(candidate)) {
            return candidate;
        }
    }
    return std::string();
}
