#include "config/VersionSetting.h"

#include "platform/paths/ProgramDirectory.h"
#include "platform/profile/Profile.h"

VersionSetting VersionSetting::Load(const std::string& path) {
    VersionSetting record;
    auto flag = [&](const char* section, const char* key, bool fallback) {
        return ProfileReadInt(section, key, fallback ? 1 : 0, path) != 0;
    };
    record.FLV = flag("COURSE", "FLV", record.FLV);
    record.Internet = flag("Internet", "Allow", record.Internet);
    record.AutoUpdate = flag("AutoUpdate", "Allow", record.AutoUpdate);
    record.ProxyDetector = flag("ProxyDetector", "Allow", record.ProxyDetector);
    record.AutoDelCache = flag("AutoDelCache", "Allow", record.AutoDelCache);
    record.RequireLockdown = flag("Exam", "RequireLockdown", record.RequireLockdown);
    record.AnalyticsHost =
        ProfileReadString("Internet", "AnalyticsHost", record.AnalyticsHost, path);
    return record;
}

const VersionSetting& VersionSetting::Current() {
    // A function-local static is initialised exactly once, even when the GUI
    // thread and a channel thread ask at the same moment.
    static const VersionSetting current = Load(ProgramDirectory() + kFileName);
    return current;
}
