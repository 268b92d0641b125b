#include "peers/site/PlatformServer.h"

#include <json/json.h>

#include "foundation/TextUtil.h"
#include "foundation/UrlUtil.h"

namespace PlatformServer {

namespace {

constexpr const char* kPaperPreviewPage = "/UserPaperPreview.aspx";
constexpr const char* kSnapshotPath = "/lms/api/HanderReceiveImgInfo.ashx";
constexpr const char* kBoxListPath = "/lms/api/ValidCode.aspx?methodName=GetBoxList";
constexpr const char* kBoxSubmitPath = "/a.tundrelcgi?cmd=submmit_exam_answer";
constexpr const char* kStoredAnswerStart = "fileservice";
constexpr const char* kStoredAnswerEnd = "&InputStream";

// The answers of the server and the boxes: a JSON array (or null) whose
// element 0 carries the members read.
bool ParseArrayAnswer(const std::string& body, Json::Value& first) {
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse(body, root, false) || !(root.isNull() || root.isArray())) {
        return false;
    }
    first = root.isArray() && !root.empty() ? root[0u] : Json::Value();
    return true;
}

}  // namespace

std::string ExamPageAddress(const std::string& domainUrl, std::int64_t nowSeconds) {
    if (domainUrl.find(kPaperPreviewPage) == std::string::npos) {
        return domainUrl;
    }
    // "%d" of the time: its low 32 bits.
    return domainUrl + "&t=" + std::to_string(static_cast<std::int32_t>(nowSeconds));
}

std::string SnapshotUploadAddress(const std::string& domainUrl) {
    std::string host;
    std::string path;
    int port = kDefaultHttpPort;
    SplitHostPortPath(domainUrl, host, port, path);
    return "http://" + host + ":" + std::to_string(port) + kSnapshotPath;
}

std::string BoxListAddress(const std::string& domainUrl) {
    return domainUrl + kBoxListPath;
}

std::vector<std::string> ParseBoxList(long status, const std::string& body) {
    std::vector<std::string> boxes;
    Json::Value first;
    if (status != kHttpOk || !ParseArrayAnswer(body, first) || !first.isObject()) {
        return boxes;
    }
    const Json::Value& list = first["boxList"];
    if (!list.isArray() && !list.isObject()) {
        return boxes;
    }
    // An object is visited like the array it stands for: by index.
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const Json::Value& box = list.isArray() ? list[i] : list[std::to_string(i)];
        if (!box.isObject() || !box["boxUrl"].isString()) {
            continue;
        }
        std::string address = PercentDecode(box["boxUrl"].asString());
        if (!address.empty()) {
            boxes.push_back(address);
        }
    }
    return boxes;
}

std::string AnswerDeliveryAddress(const std::string& domainUrl, const std::string& path) {
    return domainUrl + path;
}

std::string BoxDeliveryAddress(const std::string& boxUrl) {
    return boxUrl + kBoxSubmitPath;
}

bool ServerAccepted(bool transferred, long status) {
    return transferred && status == kHttpOk;
}

bool BoxAccepted(bool transferred, long status, const std::string& body) {
    Json::Value first;
    if (!transferred || status != kHttpOk || !ParseArrayAnswer(body, first) || !first.isObject() ||
        !first["isSuccess"].isString()) {
        return false;
    }
    const std::string word = AsciiUpper(first["isSuccess"].asString());
    return word == "TRUE" || word == "YES" || word == "OK" || word == "1";
}

std::string StoredAnswerName(const std::string& domainUrl) {
    size_t start = domainUrl.find(kStoredAnswerStart);
    if (start == std::string::npos) {
        return std::string();
    }
    size_t end = domainUrl.find(kStoredAnswerEnd, start);
    return domainUrl.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace PlatformServer
