#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// A user session on the machine's console seat, as needed to start a program
// inside it.
struct SessionInfo {
    std::string id;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::string user;
    std::string home;
    // The session's own environment ("KEY=value"): display, authority,
    // runtime folder, bus address, home and user.
    std::vector<std::string> environment;
};

// Where the sessions come from: logind on a real machine.
class SessionProvider {
public:
    virtual ~SessionProvider() = default;
    // The id of the active session of the console seat, "" when none.
    virtual std::string ActiveSession() = 0;
    // Another active or online session of the console seat than except, "" when none.
    virtual std::string OtherSession(const std::string& except) = 0;
    // The user and environment of a session; false when it is unknown.
    virtual bool Describe(const std::string& id, SessionInfo& out) = 0;
};

std::unique_ptr<SessionProvider> CreateLogindSessionProvider();

// The variables taken over from a session's processes.
inline constexpr const char* kSessionVariables[] = {
    "DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "HOME", "USER"};

// Fills uid, gid, groups, user and home from the password database.
bool DescribeUser(uid_t uid, SessionInfo& out);
