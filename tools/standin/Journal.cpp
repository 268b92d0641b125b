#include "tools/standin/Journal.h"

#include <chrono>

#include "tools/standin/JsonText.h"

namespace {

Json::Int64 NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

bool Journal::Open(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_file.open(path, std::ios::app | std::ios::binary);
    return m_file.is_open();
}

void Journal::Record(const std::string& role, int port, const httplib::Request& request) {
    Json::Value entry(Json::objectValue);
    entry["time"] = NowMs();
    entry["role"] = role;
    entry["port"] = port;
    entry["method"] = request.method;
    entry["path"] = request.path;
    entry["target"] = request.target;
    Json::Value query(Json::objectValue);
    for (const auto& [name, value] : request.params) {
        if (!query.isMember(name)) {
            query[name] = value;
        } else {
            if (!query[name].isArray()) {
                Json::Value first = query[name];
                query[name] = Json::Value(Json::arrayValue);
                query[name].append(first);
            }
            query[name].append(value);
        }
    }
    entry["query"] = query;
    Json::Value headers(Json::objectValue);
    for (const auto& [name, value] : request.headers) {
        headers[name] = value;
    }
    entry["headers"] = headers;
    entry["bodySize"] = static_cast<Json::UInt64>(request.body.size());
    if (request.is_multipart_form_data()) {
        Json::Value form(Json::objectValue);
        for (const auto& [name, file] : request.files) {
            Json::Value part(Json::objectValue);
            part["filename"] = file.filename;
            part["contentType"] = file.content_type;
            part["size"] = static_cast<Json::UInt64>(file.content.size());
            if (file.filename.empty() && IsUtf8Text(file.content)) {
                part["value"] = file.content;
            }
            form[name] = part;
        }
        entry["form"] = form;
    } else if (request.body.size() <= kMaxBodyText && IsUtf8Text(request.body)) {
        entry["body"] = request.body;
    }
    WriteLine(WriteJson(entry));
}

void Journal::Note(const std::string& role, const std::string& event, const std::string& detail) {
    Json::Value entry(Json::objectValue);
    entry["time"] = NowMs();
    entry["role"] = role;
    entry["event"] = event;
    entry["detail"] = detail;
    WriteLine(WriteJson(entry));
}

void Journal::WriteLine(const std::string& line) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_file.is_open()) {
        return;
    }
    m_file << line << '\n';
    m_file.flush();
}
