#include "config/ClientSettings.h"

#include "platform/profile/Profile.h"

ClientSettings ClientSettings::InDataPath(const std::string& dataPath) {
    if (!dataPath.empty() && dataPath.back() == '/') {
        return ClientSettings(dataPath + kFileName);
    }
    return ClientSettings(dataPath + "/" + kFileName);
}

bool ClientSettings::ReadAutoCache() const {
    std::string text = ProfileReadString(kSection, kAutoCacheKey, kDefaultAutoCache, m_path);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text == "1" || text == "ON" || text == "YES" || text == "TRUE";
}

int ClientSettings::ReadBrowserEmulation() const {
    return ProfileReadInt(kSection, kBrowserEmulationKey, kDefaultBrowserEmulation, m_path);
}

bool ClientSettings::WriteBrowserEmulation(int mode) const {
    return ProfileWriteString(kSection, kBrowserEmulationKey, std::to_string(mode), m_path);
}
