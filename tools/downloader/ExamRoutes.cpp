#include "tools/downloader/ExamRoutes.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/standin/JsonText.h"
#include "tools/standin/RequestParams.h"

namespace {

void Answer(httplib::Response& response, int code, const std::string& message) {
    Json::Value item(Json::objectValue);
    item["errorCode"] = std::to_string(code);
    item["errorMsg"] = message;
    item["isSuccess"] = code == 0 ? "true" : "false";
    Json::Value root(Json::arrayValue);
    root.append(item);
    response.set_content(WriteJson(root), "application/json; charset=utf-8");
}

bool ReadFile(const std::string& path, std::string& bytes) {
    // Directories and devices open as streams too; only a document counts.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return !in.bad();
}

}  // namespace

ExamRoutes::ExamRoutes(LessonDatabase& database, Journal& journal, std::string submittedDir,
                       PaperReporter* papers)
    : m_database(database),
      m_journal(journal),
      m_submittedDir(std::move(submittedDir)),
      m_papers(papers) {}

void ExamRoutes::Handle(const httplib::Request& request, httplib::Response& response) {
    const std::string method = ParamOf(request, "MethodName");
    if (method == "SubmitFile") {
        SubmitFile(request, response);
    } else if (method == "RestartExam") {
        std::string channel = ParamOf(request, "Channel");
        m_database.RecordRestart(channel);
        m_journal.Note("downloader", "RestartExam", channel);
        if (m_papers != nullptr) {
            m_papers->Restart(channel);
        }
        Answer(response, 0, "ok");
    } else {
        Answer(response, -1, "unknown method");
    }
}

void ExamRoutes::SubmitFile(const httplib::Request& request, httplib::Response& response) {
    std::string argsText = ParamOf(request, "RequestArgs");
    if (argsText.empty()) {
        argsText = ParamOf(request, "RequstArgs");
    }
    Json::Value root;
    if (!ReadJson(argsText, root) || !root.isArray() || root.empty() ||
        !root[0]["LocalPath"].isString()) {
        Answer(response, -1, "bad arguments");
        return;
    }
    const std::string localPath = root[0]["LocalPath"].asString();
    // The address arrives encoded once more than the query itself.
    const std::string originalUrl =
        root[0]["OriginalUrl"].isString() ? PercentDecoded(root[0]["OriginalUrl"].asString()) : "";
    std::string bytes;
    if (!ReadFile(localPath, bytes)) {
        Answer(response, -1, "cannot read " + localPath);
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_submittedDir, ignored);
    const std::string name = std::filesystem::path(localPath).filename().string();
    const std::string stored =
        m_submittedDir + "/" + std::to_string(++m_counter) + "_" + (name.empty() ? "file" : name);
    std::ofstream out(stored, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        Answer(response, -1, "cannot store the copy");
        return;
    }
    m_database.RecordSubmittedFile(localPath, stored, originalUrl);
    if (originalUrl.rfind("http://", 0) == 0 && !Upload(originalUrl, bytes, name)) {
        Answer(response, -2, "upload failed");
        return;
    }
    Answer(response, 0, "ok");
}

bool ExamRoutes::Upload(const std::string& url, const std::string& bytes, const std::string& name) {
    const size_t hostStart = std::string("http://").size();
    const size_t pathStart = url.find('/', hostStart);
    const std::string hostPort = url.substr(hostStart, pathStart - hostStart);
    const std::string target = pathStart == std::string::npos ? "/" : url.substr(pathStart);
    httplib::Client client("http://" + hostPort);
    client.set_connection_timeout(kUploadTimeoutSec, 0);
    client.set_read_timeout(kUploadTimeoutSec, 0);
    client.set_write_timeout(kUploadTimeoutSec, 0);
    httplib::Headers headers{{"X-File-Name", name}};
    auto result = client.Post(target.c_str(), headers, bytes, "application/octet-stream");
    const bool ok = result && result->status == 200;
    m_journal.Note("downloader", "upload", url + (ok ? " ok" : " failed"));
    return ok;
}
