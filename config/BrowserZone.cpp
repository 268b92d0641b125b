#include "config/BrowserZone.h"

#include <cstdlib>
#include <cstring>

#include "config/ClientSettings.h"
#include "config/TrustedSites.h"
#include "platform/registry/Registry.h"

namespace BrowserZone {

const std::vector<ZoneValue> kZoneValues = {
    {"1402", 0, "state_javascript"}, {"1A02", 0, "state_cookies"}, {"1A03", 0, "state_cookies"},
    {"1809", 3, "state_popup"},      {"2102", 0, "state_initwnd"}, {"1001", 0, "state_activex"},
    {"1004", 0, "state_activex"},    {"1200", 0, "state_activex"}, {"1201", 0, "state_activex"},
    {"1405", 0, "state_activex"},    {"2201", 0, "state_activex"},
};

const std::vector<const char*> kZoneLabels = {"state_javascript", "state_cookies", "state_popup",
                                              "state_initwnd", "state_activex"};

namespace {

constexpr const char* kScriptingValue = "1402";
constexpr const char* kPopupBlockerValue = "1809";
constexpr const char* kMixedContentValue = "1609";
constexpr uint32_t kAllow = 0;
constexpr uint32_t kDisable = 3;

}  // namespace

SiteSettings ForSite(const std::string& scheme, const std::string& host) {
    SiteSettings site;
    if (!TrustedSites::IsTrusted(scheme, host)) {
        return site;
    }
    site.trusted = true;
    uint32_t value = 0;
    if (RegReadDword(kZoneKey, kScriptingValue, value) == 0) {
        site.javascript = value != kDisable;
    }
    if (RegReadDword(kZoneKey, kPopupBlockerValue, value) == 0) {
        site.popups = value == kDisable;  // the blocker is off
    }
    if (RegReadDword(kZoneKey, kMixedContentValue, value) == 0) {
        site.insecureContent = value == kAllow;
    }
    return site;
}

bool ApplyZoneSettings() {
    bool all = true;
    for (const ZoneValue& value : kZoneValues) {
        all = RegWriteDword(kZoneKey, value.name, value.required) == 0 && all;
    }
    return all;
}

bool LabelHolds(const char* label) {
    for (const ZoneValue& value : kZoneValues) {
        if (std::strcmp(value.label, label) != 0) {
            continue;
        }
        uint32_t stored = 0;
        if (RegReadDword(kZoneKey, value.name, stored) != 0 || stored != value.required) {
            return false;
        }
    }
    return true;
}

int InstalledEngineMajor(const std::string& engineVersion) {
    if (engineVersion.empty()) {
        return 0;
    }
    const size_t dot = engineVersion.find('.');
    return dot == std::string::npos ? kDefaultEmulation : std::atoi(engineVersion.c_str());
}

void SetBrowserEmulation(const ClientSettings& settings, int mode) {
    settings.WriteBrowserEmulation(mode);
    RegWriteDword(kEmulationKey, kEmulationValue, static_cast<uint32_t>(mode * kEmulationScale));
}

void EnsureBrowserEmulation(const ClientSettings& settings) {
    if (settings.ReadBrowserEmulation() == 0) {
        SetBrowserEmulation(settings, kDefaultEmulation);
    }
}

}  // namespace BrowserZone
