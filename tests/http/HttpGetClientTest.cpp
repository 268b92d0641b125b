// The service's one-call GET client: URL handling, redirects and every
// outcome code, against cpp-httplib and raw-socket peers.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "http/HttpGetClient.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/HttplibServer.h"
#include "tests/support/ScriptedServer.h"

namespace {

constexpr int kGenerousMs = 5000;
constexpr int kShortMs = 300;

struct UrlParts {
    int result;
    std::string host;
    int port;
    std::string path;
};

UrlParts Split(const std::string& url) {
    UrlParts parts{0, "", -1, ""};
    parts.result = ParseUrl(url, parts.host, parts.port, parts.path);
    return parts;
}

TEST(HttpGetClientUrl, ParseUrlSplitsHostPortAndPath) {
    auto p = Split("http://127.0.0.1:32899/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.host, "127.0.0.1");
    EXPECT_EQ(p.port, 32899);
    EXPECT_EQ(p.path, "/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=");

    p = Split("example.org:8080");
    EXPECT_EQ(p.host, "example.org");
    EXPECT_EQ(p.port, 8080);
    EXPECT_EQ(p.path, "/");

    p = Split("http://example.org");
    EXPECT_EQ(p.host, "example.org");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.path, "/");

    // A colon after the first slash belongs to the path.
    p = Split("http://example.org/a:b");
    EXPECT_EQ(p.host, "example.org");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.path, "/a:b");

    p = Split("http://h:0/x");
    EXPECT_EQ(p.port, 80);
    p = Split("http://h:junk/x");
    EXPECT_EQ(p.port, 80);

    EXPECT_EQ(Split("").result, -1);
    EXPECT_EQ(Split("http:///path").result, -1);
    EXPECT_EQ(Split("http://:8080/x").result, -1);
}

std::string Resolve(const std::string& location, const std::string& base) {
    std::string out;
    return ResolveLocation(location, base, out) == 0 ? out : "<fail>";
}

TEST(HttpGetClientUrl, ResolveLocationAgainstTheBase) {
    const std::string base = "http://h:81/x/y/z";
    EXPECT_EQ(Resolve("https://other/p", base), "https://other/p");
    EXPECT_EQ(Resolve("mailto:a@b", base), "mailto:a@b");
    EXPECT_EQ(Resolve("/root?q=1", base), "http://h:81/root?q=1");
    EXPECT_EQ(Resolve(" \t/root", base), "http://h:81/root");
    EXPECT_EQ(Resolve("b", base), "http://h:81/x/y/b");
    EXPECT_EQ(Resolve("../b", base), "http://h:81/x/b");
    EXPECT_EQ(Resolve("../../b", base), "http://h:81/b");
    EXPECT_EQ(Resolve("../../../../b", base), "http://h:81/b");
    EXPECT_EQ(Resolve("./././b", base), "http://h:81/x/y/b");
    EXPECT_EQ(Resolve("b", "HTTP://h"), "http://h/b");
    EXPECT_EQ(Resolve("b", "ftp://h/dir/"), "http://h/dir/b");
    EXPECT_EQ(Resolve("b", "https://h/dir/"), "<fail>");
    EXPECT_EQ(Resolve("b", "h/dir"), "<fail>");
    EXPECT_EQ(Resolve("b", "http://" + std::string(1024, 'h') + "/"), "<fail>");
}

TEST(HttpGetClient, FollowsAbsoluteRootedAndRelativeRedirects) {
    HttplibServer peer;
    peer.server.Get("/start", [&](const httplib::Request&, httplib::Response& res) {
        res.status = 301;
        res.set_header("Location", peer.Url("/a/b/c"));
    });
    peer.server.Get("/a/b/c", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/d/e/f");
    });
    peer.server.Get("/d/e/f", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "../g?x=1");
    });
    peer.server.Get("/d/g", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("arrived " + req.get_param_value("x"), "text/plain");
    });
    peer.Start();

    CHttpGetClient client;
    ASSERT_EQ(client.Get(peer.Url("/start"), kGenerousMs, 5), 0);
    EXPECT_EQ(client.lastError, CHttpGetClient::kOk);
    EXPECT_EQ(client.response.status, "200");
    EXPECT_EQ(client.response.body, "arrived 1");

    // Too few redirects allowed: the last redirect is the answer.
    CHttpGetClient shortChain;
    ASSERT_EQ(shortChain.Get(peer.Url("/start"), kGenerousMs, 2), 0);
    EXPECT_EQ(shortChain.response.status, "302");
    std::string location;
    shortChain.response.GetHeader("Location", location);
    EXPECT_EQ(location, "../g?x=1");

    CHttpGetClient none;
    ASSERT_EQ(none.Get(peer.Url("/start"), kGenerousMs, 0), 0);
    EXPECT_EQ(none.lastError, CHttpGetClient::kOk);
    EXPECT_EQ(none.response.status, "301");
}

TEST(HttpGetClient, RedirectWithoutLocationIsTheAnswer) {
    HttplibServer peer;
    peer.server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "");
    });
    peer.server.Get("/other", [](const httplib::Request&, httplib::Response& res) {
        res.status = 303;
        res.set_header("Location", "/moved");
    });
    peer.Start();
    CHttpGetClient client;
    ASSERT_EQ(client.Get(peer.Url("/moved"), kGenerousMs, 3), 0);
    EXPECT_EQ(client.response.status, "302");
    // Only 301 and 302 are followed.
    ASSERT_EQ(client.Get(peer.Url("/other"), kGenerousMs, 3), 0);
    EXPECT_EQ(client.response.status, "303");
}

TEST(HttpGetClient, ExitRequestReachesTheServerAsSent) {
    ScriptedServer peer([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        return true;
    });
    CHttpGetClient client;
    std::string url = "http://127.0.0.1:" + std::to_string(peer.port()) +
                      "/COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs=";
    // A time-out below 1 means "practically unlimited", not "already over".
    ASSERT_EQ(client.Get(url, 0, 1), 0);
    EXPECT_EQ(client.response.body, "ok");
    ASSERT_EQ(peer.Requests().size(), 1u);
    EXPECT_EQ(peer.Requests()[0],
              "GET /COMMANDREQUEST.KIVO?MethodName=ExitProcess&RequstArgs= HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Connection: Keep-Alive\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(peer.port()) +
                  "\r\n"
                  "User-Agent: Simple Http Client\r\n"
                  "\r\n");
}

TEST(HttpGetClient, RedirectLoopStopsAtTheAllowance) {
    ScriptedServer loop([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(
            fd, "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
        return true;
    });
    CHttpGetClient client;
    ASSERT_EQ(client.Get("http://127.0.0.1:" + std::to_string(loop.port()) + "/", kGenerousMs, 3),
              0);
    EXPECT_EQ(client.response.status, "302");
    EXPECT_EQ(loop.Requests().size(), 4u);
}

TEST(HttpGetClient, EveryFailureHasItsCode) {
    CHttpGetClient client;
    EXPECT_EQ(client.Get("http:///x", kGenerousMs, 0), -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorHost);
    EXPECT_EQ(client.Get("http://no-such-host.invalid/x", kGenerousMs, 0), -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorHost);

    EXPECT_EQ(
        client.Get("http://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/", kGenerousMs, 0),
        -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorConnect);
    EXPECT_EQ(client.response.status, "");
    EXPECT_TRUE(client.response.headers.empty());

    // A connection that neither succeeds nor fails uses up the time.
    BlackHoleListener hole;
    EXPECT_EQ(client.Get("http://127.0.0.1:" + std::to_string(hole.port()) + "/", kShortMs, 0), -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorTimedOut);

    // A peer that accepts nothing and reads nothing: once the socket buffers
    // are full, the request cannot be written in time.
    int unread = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(bind(unread, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(unread, 4), 0);
    getsockname(unread, reinterpret_cast<sockaddr*>(&address), &length);
    CHttpGetClient big;
    big.request.AddParam("p", std::string(32 * 1024 * 1024, 'p'));
    EXPECT_EQ(
        big.Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/", kShortMs, 0),
        -1);
    EXPECT_EQ(big.lastError, CHttpGetClient::kErrorSend);
    close(unread);

    ScriptedServer garbage([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "garbage\r\n\r\n");
        return true;
    });
    EXPECT_EQ(
        client.Get("http://127.0.0.1:" + std::to_string(garbage.port()) + "/", kGenerousMs, 0), -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorReceive);

    ScriptedServer silent([](ScriptedServer&, int, const std::string&) { return false; });
    EXPECT_EQ(client.Get("http://127.0.0.1:" + std::to_string(silent.port()) + "/", kShortMs, 0),
              -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorReceive);
}

TEST(HttpGetClient, NoSocketLeftIsReported) {
    // Lower the descriptor limit to the next free number: no socket can be made.
    int probe = dup(0);
    ASSERT_GE(probe, 0);
    close(probe);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(probe);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    CHttpGetClient client;
    int result = client.Get("http://127.0.0.1:9/", kShortMs, 0);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(client.lastError, CHttpGetClient::kErrorSocket);
}

}  // namespace
