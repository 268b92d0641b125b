#include "tools/standin/FaultInjector.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <chrono>
#include <cstdlib>

#include "tools/standin/CommandLine.h"

namespace {

// Finds the accepted socket that carries this request and shuts it down, so
// the peer sees the connection end without a single byte of an answer.
void ShutDownConnection(const httplib::Request& request) {
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) {
        return;
    }
    while (dirent* entry = readdir(fds)) {
        int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(fds)) {
            continue;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof(peer);
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = {};
        int port = -1;
        if (peer.ss_family == AF_INET) {
            auto* in = reinterpret_cast<sockaddr_in*>(&peer);
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
            port = ntohs(in->sin_port);
        } else if (peer.ss_family == AF_INET6) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&peer);
            inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
            port = ntohs(in6->sin6_port);
        }
        if (port == request.remote_port && request.remote_addr == text) {
            shutdown(fd, SHUT_RDWR);
        }
    }
    closedir(fds);
}

bool PathMatches(const std::string& pattern, const std::string& path) {
    std::string want = CanonicalPath(pattern);
    std::string have = CanonicalPath(path);
    if (!want.empty() && want.back() == '*') {
        want.pop_back();
        return have.compare(0, want.size(), want) == 0;
    }
    return want == have;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    size_t start = path.find_first_not_of("/\\");
    std::string canonical = "/" + (start == std::string::npos ? "" : path.substr(start));
    for (char& c : canonical) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return canonical;
}

bool FaultInjector::Valid(const FaultRule& rule) {
    return !rule.path.empty() && rule.status >= 0 && rule.status < 1000 && rule.delayMs >= 0 &&
           rule.delayMs <= kMaxDelayMs;
}

bool FaultInjector::AddRule(const std::string& text) {
    FaultRule rule;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        std::string item = text.substr(pos, comma == std::string::npos ? comma : comma - pos);
        size_t equals = item.find('=');
        std::string name = item.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        long long number = 0;
        if (name == "body") {
            rule.hasBody = true;
            rule.body = text.substr(pos + 5);
            break;
        } else if (name == "path") {
            rule.path = value;
        } else if (name == "method") {
            rule.method = value;
        } else if (name == "drop" && value.empty()) {
            rule.drop = true;
        } else if ((name == "status" || name == "delay" || name == "times" || name == "port") &&
                   ParseInt(value, number) && number >= -1 && number <= kMaxDelayMs) {
            (name == "status"  ? rule.status
             : name == "delay" ? rule.delayMs
             : name == "port"  ? rule.port
                               : rule.times) = static_cast<int>(number);
        } else {
            return false;
        }
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    if (!Valid(rule)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_rules.push_back(rule);
    return true;
}

bool FaultInjector::AddRule(const Json::Value& json) {
    if (!json.isObject() || !json["path"].isString()) {
        return false;
    }
    auto intMember = [&](const char* name, int& out) {
        const Json::Value& v = json[name];
        if (v.isNull()) {
            return true;
        }
        if (!v.isInt()) {
            return false;
        }
        out = v.asInt();
        return true;
    };
    FaultRule rule;
    rule.path = json["path"].asString();
    rule.method = json["method"].isString() ? json["method"].asString() : "";
    rule.drop = json["drop"].isBool() && json["drop"].asBool();
    if (json["body"].isString()) {
        rule.hasBody = true;
        rule.body = json["body"].asString();
    }
    if (!intMember("status", rule.status) || !intMember("delayMs", rule.delayMs) ||
        !intMember("times", rule.times) || !intMember("port", rule.port) || !Valid(rule)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_rules.push_back(rule);
    return true;
}

void FaultInjector::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_rules.clear();
}

Json::Value FaultInjector::Rules() const {
    std::lock_guard<std::mutex> hold(m_lock);
    Json::Value list(Json::arrayValue);
    for (const FaultRule& rule : m_rules) {
        Json::Value item(Json::objectValue);
        item["path"] = rule.path;
        item["method"] = rule.method;
        item["status"] = rule.status;
        item["delayMs"] = rule.delayMs;
        item["drop"] = rule.drop;
        item["times"] = rule.times;
        item["port"] = rule.port;
        if (rule.hasBody) {
            item["body"] = rule.body;
        }
        list.append(item);
    }
    return list;
}

bool FaultInjector::Take(const httplib::Request& request, int port, FaultRule& taken) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (FaultRule& rule : m_rules) {
        if (rule.times == 0 || !PathMatches(rule.path, request.path)) {
            continue;
        }
        if ((!rule.method.empty() && rule.method != request.method) ||
            (rule.port != 0 && rule.port != port)) {
            continue;
        }
        if (rule.times > 0) {
            --rule.times;
        }
        taken = rule;
        return true;
    }
    return false;
}

bool FaultInjector::Apply(const httplib::Request& request, int port, httplib::Response& response) {
    FaultRule rule;
    if (!Take(request, port, rule)) {
        return false;
    }
    if (rule.delayMs > 0) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_cancelled.wait_for(hold, std::chrono::milliseconds(rule.delayMs),
                             [this] { return m_cancel; });
    }
    if (rule.drop) {
        ShutDownConnection(request);
        response.status = 500;
        return true;
    }
    if (rule.status == 0 && !rule.hasBody) {
        return false;
    }
    response.status = rule.status == 0 ? 200 : rule.status;
    response.set_content(rule.hasBody ? rule.body : "injected failure\n", "text/plain");
    return true;
}

void FaultInjector::Cancel() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_cancel = true;
    m_cancelled.notify_all();
}
