#include "tools/standin/StandinServer.h"

#include <chrono>
#include <cstdio>

#include "tools/standin/JsonText.h"

namespace {

constexpr const char* kControlPrefix = "/_standin/";
// Bodies of test fixtures (answers, documents, snapshots) stay well below this.
constexpr size_t kMaxPayload = 256 * 1024 * 1024;

// The server reads a request's body only after the pre-routing step; requests
// with a body are therefore journaled and failed in the route's wrapper.
bool HasBody(const httplib::Request& request) {
    const std::string length = request.get_header_value("Content-Length");
    return (!length.empty() && length != "0") || request.has_header("Transfer-Encoding");
}

}  // namespace

StandinServer::StandinServer(std::string role, Journal& journal, FaultInjector& faults)
    : m_role(std::move(role)), m_journal(journal), m_faults(faults) {
    m_server.set_payload_max_length(kMaxPayload);
    m_server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (request.path.rfind(kControlPrefix, 0) == 0 || HasBody(request)) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            return Screen(request, response) ? httplib::Server::HandlerResponse::Handled
                                             : httplib::Server::HandlerResponse::Unhandled;
        });
    auto control = [this](const httplib::Request& request, httplib::Response& response) {
        HandleControl(request, response);
    };
    for (const char* path : {"/_standin/faults", "/_standin/ping"}) {
        m_server.Get(path, control);
        m_server.Post(path, control);
        m_server.Delete(path, control);
    }
    m_server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            response.status = 500;
            response.set_content("internal error\n", "text/plain");
        });
}

bool StandinServer::Screen(const httplib::Request& request, httplib::Response& response) {
    m_journal.Record(m_role, m_port, request);
    return m_faults.Apply(request, m_port, response);
}

httplib::Server::Handler StandinServer::Wrap(httplib::Server::Handler handler) {
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
        if (HasBody(request) && Screen(request, response)) {
            return;
        }
        handler(request, response);
    };
}

void StandinServer::Get(const std::string& pattern, httplib::Server::Handler handler) {
    m_server.Get(pattern, Wrap(std::move(handler)));
}

void StandinServer::Post(const std::string& pattern, httplib::Server::Handler handler) {
    m_server.Post(pattern, Wrap(std::move(handler)));
}

void StandinServer::Put(const std::string& pattern, httplib::Server::Handler handler) {
    m_server.Put(pattern, Wrap(std::move(handler)));
}

StandinServer::~StandinServer() {
    Stop();
}

bool StandinServer::Bind(const std::string& host, int port) {
    if (port == 0) {
        m_port = m_server.bind_to_any_port(host);
        return m_port > 0;
    }
    if (port < 0 || port > 65535 || !m_server.bind_to_port(host, port)) {
        return false;
    }
    m_port = port;
    return true;
}

void AnnounceReady(const std::vector<const StandinServer*>& servers) {
    for (const StandinServer* server : servers) {
        std::printf("%s http://127.0.0.1:%d\n", server->Role().c_str(), server->Port());
    }
    std::printf("ready\n");
    std::fflush(stdout);
}

void StandinServer::Start() {
    m_thread = std::thread([this] {
        m_server.listen_after_bind();
        m_ended = true;
    });
    // The server ignores stop() until its loop has begun and offers no way to
    // wait for that, so a SIGTERM right after start would be lost. The loop
    // begins within microseconds; the bound port already queues connections.
    while (!m_server.is_running() && !m_ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void StandinServer::Stop() {
    m_server.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool StandinServer::HandleControl(const httplib::Request& request, httplib::Response& response) {
    if (request.path == "/_standin/ping") {
        response.set_content("pong", "text/plain");
        return true;
    }
    if (request.method == "DELETE") {
        m_faults.Clear();
    } else if (request.method == "POST") {
        Json::Value body;
        bool ok = ReadJson(request.body, body);
        if (ok && body.isArray()) {
            for (const Json::Value& rule : body) {
                ok = ok && m_faults.AddRule(rule);
            }
        } else if (ok) {
            ok = m_faults.AddRule(body);
        }
        if (!ok) {
            response.status = 400;
            response.set_content("bad fault rule\n", "text/plain");
            return true;
        }
    }
    response.set_content(WriteJson(m_faults.Rules()), "application/json");
    return true;
}
