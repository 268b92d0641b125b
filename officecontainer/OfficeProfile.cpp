#include "officecontainer/OfficeProfile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "officecontainer/FileUrl.h"
#include "platform/process/Processes.h"

namespace fs = std::filesystem;

namespace {

struct Setting {
    const char* path;
    const char* name;
    const char* type;
    const char* value;
};

// What a fresh profile would otherwise show or do: the first-start and
// what's-new notices, the tip of the day, the "keep the current format?"
// question, document recovery and auto-save, the update check, lock files
// beside the learner's document; and macros: highest security level with
// macro execution off, so no document code runs and nobody is asked.
constexpr Setting kSettings[] = {
    {"/org.openoffice.Setup/Office", "ooSetupInstCompleted", "xs:boolean", "true"},
    {"/org.openoffice.Setup/Office", "FirstStartWizardCompleted", "xs:boolean", "true"},
    {"/org.openoffice.Setup/Product", "ooSetupLastVersion", "xs:string", "99.0"},
    {"/org.openoffice.Setup/Product", "LastTimeGetInvolvedShown", "xs:long", "9999999999"},
    {"/org.openoffice.Setup/Product", "LastTimeDonateShown", "xs:long", "9999999999"},
    {"/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Misc", "FirstRun", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Misc", "UseDocumentSystemFileLocking", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Misc", "UseDocumentOOoLockFile", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Misc", "CrashReport", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Save/Document", "WarnAlienFormat", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Save/Document", "AutoSave", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Save/Document", "CreateBackup", "xs:boolean", "false"},
    {"/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", "xs:boolean", "false"},
    {"/org.openoffice.Office.Recovery/AutoSave", "Enabled", "xs:boolean", "false"},
    {"/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "xs:int", "3"},
    {"/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "xs:boolean",
     "true"},
    {"/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks", "xs:boolean",
     "true"},
    {"/org.openoffice.Office.Jobs/Jobs/org.openoffice.Office.Jobs:Job['UpdateCheck']/Arguments",
     "AutoCheckEnabled", "xs:boolean", "false"},
};

bool ProcessRuns(long pid) {
    return !ProcessExecutablePath(static_cast<pid_t>(pid)).empty();
}

}  // namespace

std::string OfficeProfile::DefaultRoot() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') {
        return std::string(cache) + kFolder;
    }
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : "/tmp") + "/.cache" + kFolder;
}

std::string OfficeProfile::SeededSettings() {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    for (const Setting& setting : kSettings) {
        xml += std::string("<item oor:path=\"") + setting.path + "\"><prop oor:name=\"" +
               setting.name + "\" oor:op=\"fuse\"><value>" + setting.value +
               "</value></prop></item>\n";
    }
    xml += "</oor:items>\n";
    return xml;
}

OfficeProfile::~OfficeProfile() {
    Remove();
}

bool OfficeProfile::Create(const std::string& root, long pid, std::string* error) {
    std::error_code failure;
    // A container that was killed left its profile behind.
    for (const auto& entry : fs::directory_iterator(root, failure)) {
        const std::string name = entry.path().filename();
        char* end = nullptr;
        const long owner = std::strtol(name.c_str(), &end, 10);
        if (end && *end == '\0' && owner > 0 && owner != pid && !ProcessRuns(owner)) {
            fs::remove_all(entry.path(), failure);
        }
    }
    const std::string path = root + "/" + std::to_string(pid);
    fs::remove_all(path, failure);
    fs::create_directories(path + "/user", failure);
    if (failure) {
        *error = "cannot make " + path + ": " + failure.message();
        return false;
    }
    fs::permissions(path, fs::perms::owner_all, failure);
    std::ofstream out(path + kSettingsFile, std::ios::trunc);
    out << SeededSettings();
    out.close();
    if (!out) {
        *error = "cannot write " + path + kSettingsFile;
        fs::remove_all(path, failure);
        return false;
    }
    m_path = path;
    return true;
}

std::string OfficeProfile::Url() const {
    return m_path.empty() ? std::string() : FileUrlOf(m_path);
}

void OfficeProfile::Remove() {
    if (!m_path.empty()) {
        std::error_code failure;
        fs::remove_all(m_path, failure);
        m_path.clear();
    }
}
