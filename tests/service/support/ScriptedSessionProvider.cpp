#include <pwd.h>

#include <fstream>
#include <sstream>

#include "tests/service/support/ScriptedSessionProvider.h"

namespace {

struct ScriptedSession {
    std::string id;
    std::string user;
};

class ScriptedSessionProvider : public SessionProvider {
public:
    explicit ScriptedSessionProvider(std::string path) : m_path(std::move(path)) {}

    std::string ActiveSession() override { return Read().active.id; }

    std::string OtherSession(const std::string& except) override {
        Script script = Read();
        return script.other.id != except ? script.other.id : std::string();
    }

    bool Describe(const std::string& id, SessionInfo& out) override {
        Script script = Read();
        const ScriptedSession* session = id == script.active.id  ? &script.active
                                         : id == script.other.id ? &script.other
                                                                 : nullptr;
        if (id.empty() || !session) {
            return false;
        }
        passwd* entry = getpwnam(session->user.c_str());
        if (!entry || !DescribeUser(entry->pw_uid, out)) {
            return false;
        }
        out.id = id;
        out.environment = script.environment;
        return true;
    }

private:
    struct Script {
        ScriptedSession active;
        ScriptedSession other;
        std::vector<std::string> environment;
    };

    Script Read() const {
        Script script;
        std::ifstream in(m_path);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string kind;
            words >> kind;
            if (kind == "active") {
                words >> script.active.id >> script.active.user;
            } else if (kind == "other") {
                words >> script.other.id >> script.other.user;
            } else if (kind.find('=') != std::string::npos) {
                script.environment.push_back(line);
            }
        }
        return script;
    }

    std::string m_path;
};

}  // namespace

std::unique_ptr<SessionProvider> CreateScriptedSessionProvider(const std::string& path) {
    return std::make_unique<ScriptedSessionProvider>(path);
}
