#include "exam/question/QuestionFinishing.h"

#include <cstdio>
#include <filesystem>

#include "foundation/FileUtil.h"
#include "platform/files/FileWait.h"

namespace {

constexpr const char* kBackupSuffix = ".bak";
constexpr const char* kPartialSuffix = ".part";
constexpr const char* kFileServiceMark = "fileservice";
constexpr const char* kInputStreamMark = "&InputStream";

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

int SaveDocumentToLocal(const std::string& path, const std::function<bool()>& requestSave,
                        int waitMs) {
    const std::string backup = path + kBackupSuffix;
    bool haveBackup = false;
    if (IsFile(path)) {
        std::remove(backup.c_str());
        if (std::rename(path.c_str(), backup.c_str()) != 0) {
            return -1;  // the earlier version stays where it is
        }
        haveBackup = true;
    }
    if (requestSave) {
        requestSave();
    }
    const bool written = WaitForFileWritten(path, waitMs);
    if (haveBackup) {
        if (written) {
            std::remove(backup.c_str());
        } else {
            std::rename(backup.c_str(), path.c_str());
        }
    }
    return written ? 0 : -1;
}

std::string AnswerFileAddress(const std::string& domainUrl) {
    size_t start = domainUrl.find(kFileServiceMark);
    if (start == std::string::npos) {
        return domainUrl;
    }
    size_t end = domainUrl.find(kInputStreamMark, start);
    return domainUrl.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool StoreDownloadedDocument(const std::string& path, const std::string& bytes) {
    const std::string partial = path + kPartialSuffix;
    if (WriteFileBytes(partial, bytes) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
