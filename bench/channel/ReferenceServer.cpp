// Answers every GET with the same body and headers the channel sends for an
// unknown request, on 127.0.0.1:<port>, with ten worker threads like the
// channel's pool.

#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include "foundation/Version.h"

namespace {
httplib::Server* g_server = nullptr;
}

int main(int argc, char** argv) {
    int port = argc > 1 ? std::atoi(argv[1]) : 32900;
    const std::string body =
        R"(callback([{"errorCode":"-1","errorMsg":"unknown request","isSuccess":"false","version":")" +
        std::string(kClientVersion) + R"("}]))";
    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(10); };
    server.Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        response.set_header("Accept-Ranges", "bytes");
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Server", "Simple Http Server");
        response.set_content(body, "text/xml");
    });
    g_server = &server;
    std::signal(SIGTERM, [](int) { g_server->stop(); });
    std::signal(SIGINT, [](int) { g_server->stop(); });
    return server.listen("127.0.0.1", port) ? 0 : 1;
}
