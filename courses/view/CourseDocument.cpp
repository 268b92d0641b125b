#include "courses/view/CourseDocument.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "foundation/ClientLog.h"
#include "http/transfer/HttpTransfer.h"

namespace {

constexpr const char* kCourseFolder = "/UserCourse/";
constexpr const char* kPartialSuffix = ".part";
constexpr int kHttpOk = 200;

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

}  // namespace

std::string CourseDocumentPath(const std::string& dataPath, const std::string& userUid,
                               const std::string& courseHash, const std::string& courseType) {
    return dataPath + kCourseFolder + userUid + "/" + courseHash + "." + courseType;
}

bool DownloadCourseDocument(const std::string& url, const std::string& path,
                            std::function<bool()> cancelled) {
    // Each download has a partial file of its own: a request replaced while
    // it still downloads must not remove the file the next one writes.
    static std::atomic<unsigned> downloads{0};
    const std::string partial = path + "." + std::to_string(++downloads) + kPartialSuffix;
    std::unique_ptr<FILE, FileCloser> file(fopen(partial.c_str(), "wb"));
    bool written = file != nullptr;
    CHttpTransfer transfer;
    transfer.cancelled = std::move(cancelled);
    transfer.bodySink = [&](const char* data, size_t size) {
        written = written && fwrite(data, 1, size, file.get()) == size;
        return written;
    };
    const int result = transfer.Perform(url, kCourseDownloadTimeoutMs, true);
    const bool received = result == 0 && transfer.responseCode == kHttpOk;
    if (written && !received) {
        file.reset();
        std::remove(partial.c_str());
        LOG_INFO("download file [%s] from [%s] failed errdesc [%d:%d] \n", url.c_str(), "",
                 transfer.result, transfer.responseCode);
        return false;
    }
    // A stream that cannot be closed lost what it still buffered.
    written = written && fflush(file.get()) == 0 && fclose(file.release()) == 0;
    if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
        file.reset();
        std::remove(partial.c_str());
        LOG_INFO("download file from domain succeed, but save to local failed\n");
        return false;
    }
    LOG_INFO("download file [%s] from [%s] succ\n", url.c_str(), "");
    return true;
}
