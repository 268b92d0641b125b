#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Ends a stand-in cleanly on SIGTERM or SIGINT, or when a request asks for it.
// Block() must run before any other thread starts, so that the signals reach
// only the waiting thread started here and never interrupt a server thread.
class Shutdown {
public:
    static void Block();

    Shutdown();
    ~Shutdown();
    Shutdown(const Shutdown&) = delete;
    Shutdown& operator=(const Shutdown&) = delete;

    void Request();
    // Returns once Request() was called or a signal arrived.
    void Wait();

private:
    std::mutex m_lock;
    std::condition_variable m_requested;
    bool m_done = false;
    std::thread m_signals;
};
