#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ClientSettings;

// The security settings of the trusted-sites zone the platform's pages need,
// and the embedded browser's emulation mode. Both live in the user's
// registry; the browser host reads the zone values for pages of trusted sites.
namespace BrowserZone {

constexpr const char* kZoneKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2";
constexpr const char* kEmulationKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr const char* kEmulationValue = "QorvanePlatform.exe";
constexpr int kDefaultEmulation = 7;
constexpr int kEmulationScale = 1000;

struct ZoneValue {
    const char* name;
    uint32_t required;
    const char* label;  // the state label that shows it
};
// In the order they are written.
extern const std::vector<ZoneValue> kZoneValues;
// The labels, in the page's order (without "state_ie").
extern const std::vector<const char*> kZoneLabels;

// What a page of one site may do in the embedded browser.
struct SiteSettings {
    bool trusted = false;
    bool javascript = true;
    bool popups = true;
    bool insecureContent = false;
};
// Trusted sites get the zone's stored JavaScript ("1402"), pop-up ("1809")
// and mixed-content ("1609") settings; other sites the defaults above.
SiteSettings ForSite(const std::string& scheme, const std::string& host);

// Writes every zone value; true when all were written.
bool ApplyZoneSettings();
// Whether every value of the label reads back as required.
bool LabelHolds(const char* label);

// The emulation mode for the unticked "IE 7" box: the engine version's
// major number, 7 without a ".", 0 without a version.
int InstalledEngineMajor(const std::string& engineVersion);
// BrowserEmulation = mode in the settings file, the registry value = mode x 1000.
void SetBrowserEmulation(const ClientSettings& settings, int mode);
// At start-up: mode 7 when none was chosen yet.
void EnsureBrowserEmulation(const ClientSettings& settings);

}  // namespace BrowserZone
