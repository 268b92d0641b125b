#include "platform/systemd/ServiceManager.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/process/Processes.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultUnitDirectory = "/etc/systemd/system";
// systemctl itself gives up long before; this only guards against a hang.
constexpr int kSystemctlLimitMs = 120000;

std::string UnitPath(const std::string& name) {
    return (fs::path(UnitDirectory()) / (name + ".service")).string();
}

bool Systemctl(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{SystemctlProgram()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProgram(argv, kSystemctlLimitMs) == 0;
}

// ExecStart splits at blanks unless the path is quoted.
std::string QuoteForExec(const std::string& path) {
    if (path.find_first_of(" \t\"\\") == std::string::npos) {
        return path;
    }
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

bool StartedBySystemd() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

int NotifySystemd(const std::string& message) {
    return sd_notify(0, message.c_str());
}

std::string UnitDirectory() {
    const char* redirected = std::getenv("QORVANE_UNIT_DIR");
    return redirected && *redirected ? redirected : kDefaultUnitDirectory;
}

std::string SystemctlProgram() {
    const char* redirected = std::getenv("QORVANE_SYSTEMCTL");
    return redirected && *redirected ? redirected : "systemctl";
}

std::string UnitText(const std::string& name, const std::string& program) {
    return "[Unit]\n"
           "Description=" + name + "\n"
           "After=network.target systemd-logind.service\n"
           "\n"
           "[Service]\n"
           "Type=notify\n"
           "ExecStart=" + QuoteForExec(program) + "\n"
           // The programs the service starts run in its folder, beside it.
           "WorkingDirectory=" + fs::path(program).parent_path().string() + "\n"
           "Restart=on-failure\n"
           "RestartSec=1\n"
           // The service asks its programs to exit itself; systemd only
           // cleans up what is left after the service has ended.
           "KillMode=mixed\n"
           "TimeoutStopSec=30\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

int InstallUnit(const std::string& name, const std::string& program) {
    const std::string path = UnitPath(name);
    std::error_code error;
    if (fs::exists(path, error)) {
        return 1;
    }
    {
        const std::string partial = path + ".new";
        std::ofstream out(partial, std::ios::trunc);
        out << UnitText(name, program);
        out.close();
        if (!out || (fs::rename(partial, path, error), error)) {
            fs::remove(partial, error);
            return 0;
        }
    }
    if (!Systemctl({"daemon-reload"}) || !Systemctl({"enable", name + ".service"})) {
        return 0;
    }
    Systemctl({"start", name + ".service"});
    return 1;
}

int UninstallUnit(const std::string& name) {
    const std::string path = UnitPath(name);
    std::error_code error;
    if (!fs::exists(path, error)) {
        return 1;
    }
    Systemctl({"stop", "--no-block", name + ".service"});
    Systemctl({"disable", name + ".service"});
    if (!fs::remove(path, error)) {
        return 0;
    }
    Systemctl({"daemon-reload"});
    return 1;
}
