#pragma once

#include <string>

// The learner's settings in "ClientArgs.ini" in the data folder, section
// "CLIENTSET". Every call goes to the file, so a change made by the settings
// page is seen at once by everyone else.
class ClientSettings {
public:
    static constexpr const char* kFileName = "ClientArgs.ini";
    static constexpr const char* kSection = "CLIENTSET";
    static constexpr const char* kBrowserEmulationKey = "BrowserEmulation";
    static constexpr const char* kAutoCacheKey = "AutoCache";
    // 0: no emulation mode was chosen yet (the settings page then applies its own).
    static constexpr int kDefaultBrowserEmulation = 0;
    static constexpr const char* kDefaultAutoCache = "1";

    explicit ClientSettings(std::string path) : m_path(std::move(path)) {}
    // dataPath + "/ClientArgs.ini" (a trailing "/" on dataPath is allowed).
    static ClientSettings InDataPath(const std::string& dataPath);

    const std::string& Path() const { return m_path; }

    // true when the text, upper-cased, is "1", "ON", "YES" or "TRUE"; a
    // missing key counts as "1".
    bool ReadAutoCache() const;
    int ReadBrowserEmulation() const;
    // Written as decimal text; true on success.
    bool WriteBrowserEmulation(int mode) const;

private:
    std::string m_path;
};
