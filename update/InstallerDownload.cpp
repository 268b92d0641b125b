#include "update/InstallerDownload.h"

#include <QCryptographicHash>
#include <QFile>

#include <cstdio>
#include <filesystem>

#include "foundation/ClientLog.h"
#include "foundation/TextUtil.h"
#include "http/transfer/HttpTransfer.h"
#include "platform/process/Processes.h"

namespace {

constexpr int kHttpOk = 200;
constexpr int kHttpPartialContent = 206;
constexpr const char* kDebianPackageSuffix = ".deb";
constexpr const char* kDesktopOpener = "xdg-open";

// The file the download is written to, created anew.
class TempFile {
public:
    explicit TempFile(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {
        if (!m_file) {
            LOG_ERROR("create file fail,err %d", errno);
        }
    }
    ~TempFile() { Close(); }
    bool Open() const { return m_file != nullptr; }
    bool WriteAt(int64_t offset, const char* data, size_t size) {
        return fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
               std::fwrite(data, 1, size, m_file) == size;
    }
    // false when buffered bytes could not be written out.
    bool Close() {
        if (!m_file) {
            return true;
        }
        const bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
    std::FILE* m_file;
};

bool FetchWhole(const InstallerRequest& request, TempFile& file) {
    CHttpTransfer transfer;
    transfer.maxBody = static_cast<size_t>(request.size) + 1;
    const int rc = transfer.Perform(request.url, InstallerDownload::kRequestTimeoutMs, true);
    if (rc != 0 || transfer.responseCode != kHttpOk) {
        LOG_ERROR("download installer fail errno=%d,code=%d ", transfer.result,
                  transfer.responseCode);
        return false;
    }
    if (static_cast<int64_t>(transfer.body.size()) != request.size) {
        LOG_ERROR("download installer fail, fileSize err %d,%d",
                  static_cast<int>(transfer.body.size()), static_cast<int>(request.size));
        return false;
    }
    return file.WriteAt(0, transfer.body.data(), transfer.body.size());
}

// One part, asked for again when the server's answer is not exactly it.
bool FetchRange(const InstallerRequest& request, int index, const ByteRange& range,
                TempFile& file) {
    char header[64];
    std::snprintf(header, sizeof(header), "bytes=%lld-%lld", static_cast<long long>(range.first),
                  static_cast<long long>(range.last));
    for (int attempt = 1; attempt <= InstallerDownload::kRangeAttempts; ++attempt) {
        // The part goes to its place in the file as it arrives; a wrong
        // answer written there is overwritten by the next attempt, or the
        // whole file is dropped.
        CHttpTransfer transfer;
        transfer.AddHeader("Range", header);
        transfer.maxBody = static_cast<size_t>(range.Length());
        bool written = true;
        transfer.bodySink = [&](const char* data, size_t size) {
            const int64_t at = range.first + static_cast<int64_t>(transfer.bodyBytes - size);
            written = file.WriteAt(at, data, size);
            return written;
        };
        const int rc = transfer.Perform(request.url, InstallerDownload::kRequestTimeoutMs, true);
        if (!written) {
            LOG_ERROR("download installer part %d write fail,err %d", index, errno);
            return false;
        }
        if (rc == 0 && transfer.responseCode == kHttpPartialContent &&
            static_cast<int64_t>(transfer.bodyBytes) == range.Length()) {
            return true;
        }
        LOG_ERROR("download installer part %d fail errno=%d,code=%d,size=%d,try=%d", index,
                  transfer.result, transfer.responseCode, static_cast<int>(transfer.bodyBytes),
                  attempt);
    }
    return false;
}

}  // namespace

std::vector<ByteRange> InstallerDownload::PlanRanges(int64_t size) {
    std::vector<ByteRange> ranges;
    if (size <= kSingleRequestMax) {
        return ranges;
    }
    const int64_t part = size / kRangeCount;
    for (int i = 0; i < kRangeCount; ++i) {
        ByteRange range{i * part, (i + 1) * part - 1};
        if (i == kRangeCount - 1) {
            range.last = size - 1;
        }
        ranges.push_back(range);
    }
    return ranges;
}

bool InstallerDownload::Fetch(const InstallerRequest& request, const Progress& progress,
                              const std::atomic<bool>& stop) {
    const std::string temp = request.target + kTempSuffix;
    bool written = false;
    {
        TempFile file(temp);
        if (!file.Open()) {
            return false;
        }
        const std::vector<ByteRange> ranges = PlanRanges(request.size);
        if (ranges.empty()) {
            written = FetchWhole(request, file);
        } else {
            written = true;
            for (size_t i = 0; i < ranges.size() && written; ++i) {
                if (stop) {
                    LOG_INFO("download installer stopped");
                    written = false;
                } else if ((written = FetchRange(request, static_cast<int>(i), ranges[i], file))) {
                    progress(static_cast<int>(i + 1));
                }
            }
        }
        written = file.Close() && written;
    }
    std::error_code error;
    if (!written) {
        std::filesystem::remove(temp, error);
        return false;
    }
    std::filesystem::remove(request.target, error);
    std::filesystem::rename(temp, request.target, error);
    if (error) {
        LOG_ERROR("rename installer fail,err %d", error.value());
        return false;
    }
    if (!DigestMatches(request.target, request.md5)) {
        LOG_ERROR("installer digest differs from the list's %s", request.md5.c_str());
        return false;
    }
    return true;
}

bool InstallerDownload::DigestMatches(const std::string& path, const std::string& md5) {
    if (md5.empty()) {
        return true;
    }
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return false;
    }
    return EqualsIgnoreCase(hash.result().toHex().toStdString(), md5);
}

bool InstallerDownload::Start(const std::string& path) {
    SpawnOptions options;
    options.newSession = true;
    options.nullStdio = true;
    if (EndsWithIgnoreCase(path, kDebianPackageSuffix)) {
        options.argv = {kDesktopOpener, path};
    } else {
        std::error_code error;
        std::filesystem::permissions(path,
                                     std::filesystem::perms::owner_exec |
                                         std::filesystem::perms::group_exec |
                                         std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add, error);
        options.argv = {path};
    }
    int error = 0;
    ChildHandle child = ChildHandle::Spawn(options, &error);
    if (!child.Valid()) {
        LOG_ERROR("start installer %s fail,err %d", path.c_str(), error);
        return false;
    }
    LOG_INFO("installer started: %s (pid %d)", path.c_str(), static_cast<int>(child.Pid()));
    child.Close();
    return true;
}

bool InstallerDownload::IsSafeFileName(const std::string& name) {
    if (name.empty() || name.front() == '.') {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}
