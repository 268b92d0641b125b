#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A raw-socket HTTP peer on 127.0.0.1 for client tests: it reads each request
// (header block plus any Content-Length body), records it, and lets the test's
// handler write whatever bytes it likes, as slowly or as wrongly as it likes.
// Connections are served one at a time on one thread.
class ScriptedServer {
public:
    // Writes the answer. Returns true to close the connection at once, false
    // to keep it open until the client closes it (or the server stops).
    using Handler = std::function<bool(ScriptedServer& server, int fd, const std::string& request)>;

    explicit ScriptedServer(Handler handler);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return m_port; }
    std::vector<std::string> Requests();

    // Writes every byte (false when the client went away).
    static bool SendAll(int fd, std::string_view bytes);
    // Waits up to ms, returning early (false) when the server is stopping.
    bool Pause(int ms);

private:
    void Serve();
    bool ReadRequest(int fd, std::string& request);
    void HoldUntilClosed(int fd);

    Handler m_handler;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::vector<std::string> m_requests;
};

// A loopback port whose connection attempts neither succeed nor fail: its
// accept queue is full, so new handshakes are never answered.
class BlackHoleListener {
public:
    BlackHoleListener();
    ~BlackHoleListener();
    BlackHoleListener(const BlackHoleListener&) = delete;
    BlackHoleListener& operator=(const BlackHoleListener&) = delete;
    int port() const { return m_port; }

private:
    int m_listen = -1;
    int m_filler = -1;
    int m_port = 0;
};
