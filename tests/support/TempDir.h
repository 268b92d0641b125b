#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh folder under the build's test-tmp (or /tmp), removed at the end of
// the test. Each test gets its own, so tests can run in parallel.
class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("QORVANE_TEST_TMP");
        std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "qv-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        m_path = made ? made : pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
