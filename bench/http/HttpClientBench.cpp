// Loopback GETs through the client codec (one connection per request, as the
// client talks to the course downloader) and through the libcurl transfer.
//   bench_http_client [--benchmark_filter=...]

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "http/transfer/HttpTransfer.h"

namespace {

constexpr int kTimeoutMs = 10000;
constexpr size_t kChunk = 4096;

class Server {
public:
    Server() {
        m_server.Get(
            R"(/plain/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
                res.set_content(Body(std::stoul(req.matches[1])), "application/octet-stream");
            });
        m_server.Get(R"(/chunked/(\d+))", [this](const httplib::Request& req,
                                                 httplib::Response& res) {
            size_t size = std::stoul(req.matches[1]);
            res.set_chunked_content_provider("application/octet-stream",
                                             [this, size](size_t offset, httplib::DataSink& sink) {
                                                 const std::string& body = Body(size);
                                                 if (offset >= size) {
                                                     sink.done();
                                                     return true;
                                                 }
                                                 size_t n = std::min(kChunk, size - offset);
                                                 sink.write(body.data() + offset, n);
                                                 return true;
                                             });
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::yield();
        }
    }
    ~Server() {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    const std::string& Body(size_t size) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto& body = m_bodies[size];
        if (body.size() != size) {
            body.assign(size, 'b');
        }
        return body;
    }

    httplib::Server m_server;
    std::mutex m_lock;
    std::map<size_t, std::string> m_bodies;
    int m_port = 0;
    std::thread m_thread;
};

Server& SharedServer() {
    static Server server;
    return server;
}

void LoopbackGet(benchmark::State& state, const char* kind) {
    Server& server = SharedServer();
    const std::string path = std::string("/") + kind + "/" + std::to_string(state.range(0));
    for (auto _ : state) {
        CHttpRequest request;
        request.SetHost("127.0.0.1", server.port());
        request.SetUrl(path);
        request.AddParam("MethodName", "GetLessonList");
        SOCKET socket = CreateTcpSocket();
        CHttpResponse response;
        if (ConnectTcp(socket, "127.0.0.1", server.port(), kTimeoutMs) != 0 ||
            request.Send(socket, kTimeoutMs) != 0 || response.Receive(socket, kTimeoutMs) != 0 ||
            response.body.size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("exchange failed");
        }
        CloseSocket(socket);
        benchmark::DoNotOptimize(response.body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_LoopbackGetContentLength(benchmark::State& state) {
    LoopbackGet(state, "plain");
}
void BM_LoopbackGetChunked(benchmark::State& state) {
    LoopbackGet(state, "chunked");
}

void BM_TransferGet(benchmark::State& state) {
    Server& server = SharedServer();
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/plain/" +
                            std::to_string(state.range(0));
    for (auto _ : state) {
        CHttpTransfer transfer;
        transfer.cookieFile.clear();  // measure the transfer, not the cookie store
        if (transfer.Perform(url, kTimeoutMs, true) != 0 ||
            transfer.body.size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("transfer failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_DecodeChunked(benchmark::State& state) {
    std::string wire;
    const std::string piece(kChunk, 'c');
    for (int64_t left = state.range(0); left > 0; left -= static_cast<int64_t>(kChunk)) {
        size_t n = std::min<size_t>(kChunk, static_cast<size_t>(left));
        char size[32];
        std::snprintf(size, sizeof(size), "%zx\r\n", n);
        wire += size;
        wire.append(piece, 0, n);
        wire += "\r\n";
    }
    wire += "0\r\n\r\n";
    std::string out;
    for (auto _ : state) {
        DecodeChunked(wire, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_LoopbackGetContentLength)->Arg(1024)->Arg(1 << 20)->Arg(16 << 20)->UseRealTime();
BENCHMARK(BM_LoopbackGetChunked)->Arg(1024)->Arg(1 << 20)->Arg(16 << 20)->UseRealTime();
BENCHMARK(BM_TransferGet)->Arg(1024)->Arg(1 << 20)->UseRealTime();
BENCHMARK(BM_DecodeChunked)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
