#include "platform/sysinfo/SystemQueries.h"

#include <gio/gio.h>
#include <grp.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr int kDefaultProxyPort = 80;
constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr const char* kProxyHttpSchema = "org.gnome.system.proxy.http";
constexpr const char* kOsReleaseFiles[] = {"/etc/os-release", "/usr/lib/os-release"};
constexpr const char* kAdminGroups[] = {"sudo", "wheel", "admin"};
constexpr uid_t kFirstNormalUid = 1000;
constexpr const char* kGuestUser = "nobody";

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string Environment(const char* lower, const char* upper) {
    const char* value = std::getenv(lower);
    if (!value || !*value) {
        value = std::getenv(upper);
    }
    return value ? value : "";
}

// GNOME's manual proxy, when the schema is there. false when it is not (or
// the mode is not manual) and the environment decides.
bool LoadGnomeProxy(ProxySettings& settings, bool& readable) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kProxySchema, TRUE) : nullptr;
    GSettingsSchema* httpSchema =
        source ? g_settings_schema_source_lookup(source, kProxyHttpSchema, TRUE) : nullptr;
    bool manual = false;
    if (schema && httpSchema) {
        readable = true;
        GSettings* proxy = g_settings_new(kProxySchema);
        gchar* mode = g_settings_get_string(proxy, "mode");
        manual = mode && std::string(mode) == "manual";
        if (manual) {
            GSettings* http = g_settings_new(kProxyHttpSchema);
            gchar* host = g_settings_get_string(http, "host");
            const int port = g_settings_get_int(http, "port");
            settings.enabled = 1;
            settings.SetServer(std::string(host ? host : "") + ":" + std::to_string(port));
            g_free(host);
            g_object_unref(http);
            gchar** ignored = g_settings_get_strv(proxy, "ignore-hosts");
            std::string list;
            for (gchar** entry = ignored; entry && *entry; ++entry) {
                list += std::string(list.empty() ? "" : ";") + *entry;
            }
            g_strfreev(ignored);
            settings.SetOverride(list);
        }
        g_free(mode);
        g_object_unref(proxy);
    }
    if (schema) {
        g_settings_schema_unref(schema);
    }
    if (httpSchema) {
        g_settings_schema_unref(httpSchema);
    }
    return manual;
}

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ReleaseValue(const std::string& osRelease, const std::string& key) {
    std::istringstream lines(osRelease);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size() + 1, key + "=") != 0) {
            continue;
        }
        std::string value = Trim(line.substr(key.size() + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    }
    return "";
}

}  // namespace

int ProxySettings::SetOverride(const std::string& text) {
    overrideText = text;
    overrideList.clear();
    std::string piece;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ';' || text[i] == ',') {
            piece = Trim(piece);
            if (!piece.empty()) {
                overrideList.push_back(piece);
            }
            piece.clear();
        } else {
            piece += text[i];
        }
    }
    return 0;
}

void ProxySettings::SetServer(const std::string& server) {
    std::string text = server;
    const size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        text = text.substr(scheme + 3);
    }
    // An address like http://host:8080/ keeps no path.
    const size_t slash = text.find('/');
    if (slash != std::string::npos) {
        text = text.substr(0, slash);
    }
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        host = text;
        port = kDefaultProxyPort;
        return;
    }
    host = text.substr(0, colon);
    port = std::atoi(text.c_str() + colon + 1);
    if (port == 0) {
        port = kDefaultProxyPort;
    }
}

int ProxySettings::LoadFromIE() {
    enabled = 0;
    host.clear();
    port = -1;
    SetOverride("");
    bool readable = false;
    if (LoadGnomeProxy(*this, readable)) {
        return 0;
    }
    // The environment can always be read.
    std::string server = Environment("http_proxy", "HTTP_PROXY");
    if (server.empty()) {
        server = Environment("https_proxy", "HTTPS_PROXY");
    }
    if (!server.empty()) {
        enabled = 1;
        SetServer(server);
    }
    const std::string bypass = Environment("no_proxy", "NO_PROXY");
    if (!bypass.empty()) {
        SetOverride(bypass);
    }
    return 0;
}

std::string OsNameFromRelease(const std::string& osRelease) {
    std::string name = ReleaseValue(osRelease, "PRETTY_NAME");
    const std::string versionId = ReleaseValue(osRelease, "VERSION_ID");
    if (!versionId.empty()) {
        const size_t at = name.find(versionId);
        if (at != std::string::npos) {
            name = Trim(name.substr(0, at));
        }
    }
    return name.empty() ? ReleaseValue(osRelease, "NAME") : name;
}

std::string KernelVersionNumbers(const std::string& release) {
    size_t end = 0;
    while (end < release.size() &&
           (std::isdigit(static_cast<unsigned char>(release[end])) || release[end] == '.')) {
        ++end;
    }
    std::string numbers = release.substr(0, end);
    while (!numbers.empty() && numbers.back() == '.') {
        numbers.pop_back();
    }
    return numbers;
}

const char* ArchitectureSuffix(const std::string& machine) {
    if (machine == "x86_64" || machine == "aarch64") {
        return " 64-bit";
    }
    if (machine == "i686" || machine == "i386" || machine.rfind("armv7", 0) == 0) {
        return " 32-bit";
    }
    return "";
}

int GetOSVersionName(std::string& name, std::string& version) {
    name.clear();
    version.clear();
    for (const char* file : kOsReleaseFiles) {
        name = OsNameFromRelease(ReadFile(file));
        if (!name.empty()) {
            break;
        }
    }
    utsname system{};
    if (uname(&system) != 0) {
        return name.empty() ? 0 : 1;
    }
    version = KernelVersionNumbers(system.release);
    name += ArchitectureSuffix(system.machine);
    return 1;
}

int AccountPrivilegeLevel(const std::string& user) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return 0;
    }
    if (found->pw_uid == 0) {
        return 2;
    }
    if (user == kGuestUser) {
        return 0;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.c_str(), found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        getgrouplist(user.c_str(), found->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<size_t>(std::max(count, 0)));
    for (const char* admin : kAdminGroups) {
        group* adminGroup = getgrnam(admin);
        if (!adminGroup) {
            continue;
        }
        for (gid_t gid : groups) {
            if (gid == adminGroup->gr_gid) {
                return 2;
            }
        }
    }
    return found->pw_uid < kFirstNormalUid ? 3 : 1;
}

std::string CurrentUserName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}
