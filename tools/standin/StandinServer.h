#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tools/standin/FaultInjector.h"
#include "tools/standin/Journal.h"
#include "tools/standin/LongRequestServer.h"

// One listening HTTP server of a stand-in with what every one of them does
// before routing: record the request in the journal, answer the control
// endpoints under "/_standin/" and apply injected failures.
//
// Control endpoints (never journaled, never failed):
//   GET    /_standin/faults         the rules as a JSON array
//   POST   /_standin/faults         body: one rule or an array of rules (JSON)
//   DELETE /_standin/faults         removes every rule
//   GET    /_standin/ping           "pong" (readiness)
class StandinServer {
public:
    StandinServer(std::string role, Journal& journal, FaultInjector& faults);
    ~StandinServer();

    httplib::Server& Http() { return m_server; }
    // Routes whose requests are journaled and subject to injected failures.
    // Register through these, not through Http(), for anything with a body.
    void Get(const std::string& pattern, httplib::Server::Handler handler);
    void Post(const std::string& pattern, httplib::Server::Handler handler);
    void Put(const std::string& pattern, httplib::Server::Handler handler);
    // Binds host:port (port 0: any free port); false when the port is taken or invalid.
    bool Bind(const std::string& host, int port);
    int Port() const { return m_port; }
    const std::string& Role() const { return m_role; }
    // Serves on a thread of its own until Stop().
    void Start();
    void Stop();

private:
    // Journal and failure injection; true when the request was answered here.
    bool Screen(const httplib::Request& request, httplib::Response& response);
    httplib::Server::Handler Wrap(httplib::Server::Handler handler);
    bool HandleControl(const httplib::Request& request, httplib::Response& response);

    std::string m_role;
    Journal& m_journal;
    FaultInjector& m_faults;
    LongRequestServer m_server;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    int m_port = 0;
};

// Tells whoever started the stand-in where it listens: one line per server,
// "<role> http://127.0.0.1:<port>", then "ready". Nothing else goes to
// standard output, so a parent may read it through a pipe.
void AnnounceReady(const std::vector<const StandinServer*>& servers);
