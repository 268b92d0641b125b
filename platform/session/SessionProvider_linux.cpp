#include "platform/session/SessionProvider.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <systemd/sd-login.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kConsoleSeat = "seat0";
constexpr size_t kPasswdBufferSize = 16384;
constexpr int kGroupLimit = 1024;

std::string TakeString(char* text) {
    std::string out = text ? text : "";
    free(text);
    return out;
}

bool IsVariable(const std::string& entry, const char* name) {
    size_t length = strlen(name);
    return entry.size() > length && entry.compare(0, length, name) == 0 && entry[length] == '=';
}

// The session variables from the environment of one process.
std::vector<std::string> ProcessSessionVariables(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> found;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        std::string entry = all.substr(start, end - start);
        for (const char* name : kSessionVariables) {
            if (IsVariable(entry, name)) {
                found.push_back(entry);
            }
        }
        start = end + 1;
    }
    return found;
}

class LogindSessionProvider : public SessionProvider {
public:
    std::string ActiveSession() override {
        char* session = nullptr;
        if (sd_seat_get_active(kConsoleSeat, &session, nullptr) < 0) {
            return {};
        }
        return TakeString(session);
    }

    std::string OtherSession(const std::string& except) override {
        char** sessions = nullptr;
        int count = sd_seat_get_sessions(kConsoleSeat, &sessions, nullptr, nullptr);
        std::string chosen;
        for (int i = 0; i < count; ++i) {
            char* state = nullptr;
            if (chosen.empty() && except != sessions[i] &&
                sd_session_get_state(sessions[i], &state) >= 0 &&
                (strcmp(state, "active") == 0 || strcmp(state, "online") == 0)) {
                chosen = sessions[i];
            }
            free(state);
            free(sessions[i]);
        }
        free(sessions);
        return chosen;
    }

    bool Describe(const std::string& id, SessionInfo& out) override {
        uid_t uid = 0;
        if (sd_session_get_uid(id.c_str(), &uid) < 0 || !DescribeUser(uid, out)) {
            return false;
        }
        out.id = id;
        out.environment = SessionEnvironment(id, uid);
        return true;
    }

private:
    // The variables of the process of the session that has the most of
    // them (the graphical shell has all; a login shell may have few).
    static std::vector<std::string> SessionEnvironment(const std::string& id, uid_t uid) {
        std::vector<std::string> best;
        DIR* proc = opendir("/proc");
        if (!proc) {
            return best;
        }
        while (dirent* entry = readdir(proc)) {
            char* end = nullptr;
            long pid = strtol(entry->d_name, &end, 10);
            if (pid <= 0 || *end != '\0') {
                continue;
            }
            char* session = nullptr;
            if (sd_pid_get_session(static_cast<pid_t>(pid), &session) < 0) {
                continue;
            }
            if (TakeString(session) != id) {
                continue;
            }
            uid_t owner = 0;
            if (sd_pid_get_owner_uid(static_cast<pid_t>(pid), &owner) < 0 || owner != uid) {
                continue;
            }
            auto variables = ProcessSessionVariables(static_cast<pid_t>(pid));
            if (variables.size() > best.size()) {
                best = std::move(variables);
            }
        }
        closedir(proc);
        return best;
    }
};

}  // namespace

bool DescribeUser(uid_t uid, SessionInfo& out) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kPasswdBufferSize);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return false;
    }
    out.uid = uid;
    out.gid = entry.pw_gid;
    out.user = entry.pw_name;
    out.home = entry.pw_dir;
    std::vector<gid_t> groups(kGroupLimit);
    int count = kGroupLimit;
    if (getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
        count = 0;
    }
    groups.resize(static_cast<size_t>(count));
    out.groups = groups.empty() ? std::vector<gid_t>{entry.pw_gid} : groups;
    return true;
}

std::unique_ptr<SessionProvider> CreateLogindSessionProvider() {
    return std::make_unique<LogindSessionProvider>();
}
