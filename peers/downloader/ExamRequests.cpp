#include "peers/downloader/ExamRequests.h"

#include <json/json.h>

#include <cstdlib>

#include "foundation/UrlUtil.h"
#include "http/transfer/HttpTransfer.h"
#include "peers/downloader/DownloaderAddress.h"
#include "peers/downloader/DownloaderJson.h"

namespace {

constexpr int kHttpOk = 200;

std::string ExamRequestBase() {
    return std::string("http://") + kDownloaderHost + ":" + std::to_string(DownloaderPort()) +
           kExamRequestPath;
}

}  // namespace

std::string BuildSubmitFileArgs(const std::string& localPath, const std::string& originalUrl) {
    Json::Value item(Json::objectValue);
    // File names on this system are the bytes the file system holds; they
    // go out as they are, so the downloader opens the very same file.
    item["LocalPath"] = localPath;
    item["OriginalUrl"] = UrlEncode(originalUrl);
    Json::Value root(Json::arrayValue);
    root.append(item);
    return WriteCompactJson(root);
}

int ParseSubmitFileAnswer(const std::string& body) {
    Json::Value root;
    if (!ParseDownloaderJson(body, root) || !(root.isNull() || root.isArray())) {
        return -1;
    }
    const Json::Value& first = FirstElement(root);
    if (!first.isObject() || !first["errorCode"].isString()) {
        return -1;
    }
    return std::atoi(first["errorCode"].asCString());
}

int SubmitFile(const std::string& localPath, const std::string& originalUrl) {
    CHttpTransfer transfer;
    transfer.AddFormField("MethodName", "SubmitFile");
    transfer.AddFormField("RequestArgs", BuildSubmitFileArgs(localPath, originalUrl));
    if (transfer.Perform(ExamRequestBase(), kSubmitFileTimeoutMs, false) != 0 ||
        transfer.responseCode != kHttpOk) {
        return -1;
    }
    return ParseSubmitFileAnswer(transfer.body);
}

std::string RestartExamUrl(int channel) {
    std::string url = ExamRequestBase() + "?MethodName=RestartExam";
    if (channel != kRestartFromStart) {
        url += "&Channel=" + std::to_string(channel);
    }
    return url;
}

void SendRestartExam(int channel) {
    CHttpTransfer transfer;
    transfer.Perform(RestartExamUrl(channel), kRestartExamTimeoutMs, false);
}
