#include "ui/SkinStore.h"

#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string FolderFor(const std::string& archive) {
    std::string folder = archive;
    if (folder.size() > 4 && folder.compare(folder.size() - 4, 4, ".zip") == 0) {
        folder.resize(folder.size() - 4);
    }
    return folder;
}

}  // namespace

SkinStore& SkinStore::Instance() {
    static SkinStore store;
    return store;
}

void SkinStore::SetResourcePath(const std::string& programDir) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_programDir = programDir;
}

void SkinStore::SetArchive(const std::string& archiveName) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_archive = archiveName;
}

std::string SkinStore::Archive() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_archive;
}

bool SkinStore::Available() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::error_code error;
    std::filesystem::path base(m_programDir);
    return std::filesystem::is_regular_file(base / m_archive, error) ||
           std::filesystem::is_directory(base / FolderFor(m_archive), error);
}

bool SkinStore::Read(const std::string& name, std::string& bytes) const {
    bytes.clear();
    std::string dir, archive;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        dir = m_programDir;
        archive = m_archive;
    }
    std::filesystem::path base(dir);
    std::error_code error;
    if (std::filesystem::is_regular_file(base / archive, error)) {
        return ReadFromArchive((base / archive).string(), name, bytes);
    }
    std::filesystem::path file = base / FolderFor(archive) / name;
    if (!std::filesystem::is_regular_file(file, error) ||
        std::filesystem::file_size(file, error) > kMaxFileSize) {
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    bytes = out.str();
    return static_cast<bool>(in) || in.eof();
}

bool SkinStore::ReadFromArchive(const std::string& archive, const std::string& name,
                                std::string& bytes) const {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!zip) {
        return false;
    }
    bool ok = false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip, name.c_str(), ZIP_FL_NOCASE, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
        st.size <= kMaxFileSize) {
        zip_file_t* file = zip_fopen_index(zip, st.index, 0);
        if (file) {
            bytes.resize(static_cast<size_t>(st.size));
            zip_int64_t got = zip_fread(file, bytes.data(), st.size);
            ok = got == static_cast<zip_int64_t>(st.size);
            zip_fclose(file);
        }
    }
    zip_close(zip);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}
