#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

// A cpp-httplib server on an ephemeral loopback port, run on its own thread:
// the independent implementation our client code is checked against. Register
// handlers on `server`, then Start().
class HttplibServer {
public:
    HttplibServer() = default;
    ~HttplibServer() { Stop(); }
    HttplibServer(const HttplibServer&) = delete;
    HttplibServer& operator=(const HttplibServer&) = delete;

    int Start() {
        m_port = server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { server.listen_after_bind(); });
        // stop() is ignored until the accept loop runs, so wait for it once.
        constexpr auto kStartLimit = std::chrono::seconds(5);
        auto deadline = std::chrono::steady_clock::now() + kStartLimit;
        while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return m_port;
    }
    void Stop() {
        if (m_thread.joinable()) {
            server.stop();
            m_thread.join();
        }
    }
    int port() const { return m_port; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    httplib::Server server;

private:
    int m_port = 0;
    std::thread m_thread;
};
