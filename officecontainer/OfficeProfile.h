#pragma once

#include <string>

// The private LibreOffice user profile of one container: a folder of its own
// under the learner's cache folder, so that our office never joins the
// learner's own running LibreOffice (which would end with ours), seeded
// before the first start so that nothing asks the learner anything and no
// macro of a downloaded document ever runs. Removed again at exit.
class OfficeProfile {
public:
    // Under $XDG_CACHE_HOME (else ~/.cache) + kFolder.
    static constexpr const char* kFolder = "/qorvane/office";
    static constexpr const char* kSettingsFile = "/user/registrymodifications.xcu";

    // The folder of the learner's office profiles.
    static std::string DefaultRoot();
    // The settings written into a new profile.
    static std::string SeededSettings();

    OfficeProfile() = default;
    ~OfficeProfile();
    OfficeProfile(const OfficeProfile&) = delete;
    OfficeProfile& operator=(const OfficeProfile&) = delete;

    // Makes root/<pid> with the seeded settings; false (error says why) when
    // the folder cannot be written. Profiles of containers that no longer
    // run are removed on the way.
    bool Create(const std::string& root, long pid, std::string* error);
    // The profile as LibreOffice takes it (-env:UserInstallation=...).
    std::string Url() const;
    const std::string& Path() const { return m_path; }
    void Remove();

private:
    std::string m_path;
};
