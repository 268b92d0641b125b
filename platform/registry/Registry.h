#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small file-backed registry: one hive file per root, string and 32-bit
// values, shared by the service, the client and the course downloader.
// Every call reads the file under a shared lock; every change rewrites it
// whole under an exclusive lock and replaces it atomically, so a reader never
// sees half a write and a crash never leaves a torn hive.
enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

// Tests (and unusual installs) put all hives into one folder of their own.
constexpr const char* kRegistryDirOverride = "QORVANE_REGISTRY_DIR";
constexpr const char* kMachineRegistryDir = "/var/lib/KIVO/Qorvane/registry";

class Registry {
public:
    explicit Registry(RegistryRoot root);
    // The hive file of a root: machine.reg / classes.reg under the machine
    // folder, user.reg under $XDG_CONFIG_HOME/KIVO/Qorvane/registry.
    static std::string HivePath(RegistryRoot root);

    // All return 0 or -1. Outputs are cleared on failure. Names compare
    // ignoring ASCII case; "\" and "/" both separate key names.
    int ReadString(const std::string& subKey, const std::string& name, std::string& text) const;
    int ReadDword(const std::string& subKey, const std::string& name, uint32_t& number) const;
    int WriteString(const std::string& subKey, const std::string& name, const std::string& text);
    int WriteDword(const std::string& subKey, const std::string& name, uint32_t number);
    int CreateKey(const std::string& subKey);
    int EnumSubKeys(const std::string& subKey, std::vector<std::string>& names) const;
    int EnumValues(const std::string& subKey, std::vector<std::string>& names) const;
    int DeleteKey(const std::string& subKey);
    int DeleteValue(const std::string& subKey, const std::string& name);
    bool KeyExists(const std::string& subKey) const;

private:
    std::string m_path;
};

// The accessors the settings code uses, with their fixed roots.
int RegReadString(const std::string& subKey, const std::string& name, std::string& text);
int RegWriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                   const std::string& text);
int RegReadDword(const std::string& subKey, const std::string& name, uint32_t& number);
int RegWriteDword(const std::string& subKey, const std::string& name, uint32_t number);
