#pragma once

#include <string>
#include <vector>

// What the settings and system pages tell about this machine: the proxy the
// embedded browser uses, the system's name and version, capture devices.

// The desktop's proxy for web pages.
struct ProxySettings {
    int enabled = 0;
    std::string host;
    int port = -1;  // -1: no server was read
    std::string overrideText;
    std::vector<std::string> overrideList;

    // GNOME's proxy settings when their schema is installed and the mode is
    // manual, else the http_proxy / https_proxy / no_proxy environment
    // (either letter case). 0; -1 only when no source could be read.
    int LoadFromIE();
    // Stores the bypass text and splits it at ";" and "," into trimmed,
    // non-empty entries.
    int SetOverride(const std::string& text);
    // A server text: "scheme://" dropped, "host:port" split (a port that
    // reads as 0 is 80), a bare host gets 80.
    void SetServer(const std::string& server);
};

// Name and version of the system: "Debian GNU/Linux 64-bit" and "6.1.0".
// 1 on success, 0 when neither can be read.
int GetOSVersionName(std::string& name, std::string& version);

// The parts of GetOSVersionName, over the texts they read.
// The name from an os-release text: PRETTY_NAME up to VERSION_ID, else NAME.
std::string OsNameFromRelease(const std::string& osRelease);
// The leading numbers of a kernel release ("6.1.0-13-amd64" gives "6.1.0").
std::string KernelVersionNumbers(const std::string& release);
// " 64-bit", " 32-bit" or "" for a machine name as uname reports it.
const char* ArchitectureSuffix(const std::string& machine);

// How much the user may do: 2 administrator (root, or a member of sudo,
// wheel or admin), 1 a normal user, 0 a guest ("nobody"), 3 a system account.
int AccountPrivilegeLevel(const std::string& user);
// The signed-in user's login name.
std::string CurrentUserName();
