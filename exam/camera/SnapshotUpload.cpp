#include "exam/camera/SnapshotUpload.h"

#include <cstdio>

#include "foundation/ClientLog.h"
#include "http/transfer/HttpTransfer.h"
#include "peers/site/PlatformServer.h"

bool UploadSnapshot(const ExamStartArgs& exam, const std::string& path,
                    const std::function<bool()>& stopped) {
    const std::string url = PlatformServer::SnapshotUploadAddress(exam.domainUrl);
    CHttpTransfer transfer;
    transfer.SetMethod("POST");
    transfer.multipart = true;
    transfer.AddFormField(PlatformServer::kSnapshotExamField, exam.examUid);
    transfer.AddFormField(PlatformServer::kSnapshotUserField, exam.userUid);
    transfer.SetFileField(PlatformServer::kSnapshotImagePart, path);
    transfer.cancelled = stopped;
    const bool sent =
        transfer.Perform(url, static_cast<int>(PlatformServer::kSnapshotUploadTimeoutMs), true) ==
            0 &&
        transfer.responseCode == PlatformServer::kHttpOk;
    if (sent) {
        LOG_INFO("Upload camera img succ. %s", url.c_str());
    } else {
        LOG_ERROR("Upload camera img failed. %s", url.c_str());
    }
    std::remove(path.c_str());
    return sent;
}
