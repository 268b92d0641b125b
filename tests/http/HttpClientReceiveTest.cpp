// The loopback client against real servers: cpp-httplib for well-formed
// answers, a raw-socket peer for slow, broken and unusual ones.

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "tests/support/HttplibServer.h"
#include "tests/support/ScriptedServer.h"

namespace {

constexpr int kConnectMs = 2000;
constexpr int kGenerousMs = 5000;
// Long enough for a loopback answer, short enough to keep the suite fast.
constexpr int kShortMs = 300;

struct Exchange {
    int sent = -2;
    int received = -2;
    CHttpResponse response;
};

Exchange Fetch(int port, const CHttpRequest& request, int timeoutMs) {
    Exchange out;
    SOCKET socket = CreateTcpSocket();
    if (ConnectTcp(socket, "127.0.0.1", port, kConnectMs) == 0) {
        out.sent = request.Send(socket, timeoutMs);
        out.received = out.response.Receive(socket, timeoutMs);
    }
    CloseSocket(socket);
    return out;
}

Exchange Fetch(int port, int timeoutMs = kGenerousMs) {
    CHttpRequest request;
    request.SetHost("127.0.0.1", port);
    request.SetUrl("/x");
    return Fetch(port, request, timeoutMs);
}

// A scripted peer that writes the given pieces with a pause before each one
// after the first, then keeps the connection open.
ScriptedServer::Handler Pieces(std::vector<std::string> pieces, int pauseMs = 0,
                               bool close = false) {
    return [pieces, pauseMs, close](ScriptedServer& server, int fd, const std::string&) {
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0 && pauseMs > 0 && !server.Pause(pauseMs)) {
                return true;
            }
            ScriptedServer::SendAll(fd, pieces[i]);
        }
        return close;
    };
}

TEST(HttpClientExchange, RequestAndContentLengthBodyWithHttplib) {
    HttplibServer peer;
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i % 26);
    }
    peer.server.Get(
        "/COURSEMANAGERREQUEST.KIVO", [&](const httplib::Request& req, httplib::Response& res) {
            std::string seen =
                req.get_param_value("MethodName") + "|" + req.get_param_value("RequestArgs") + "|" +
                req.get_header_value("Host") + "|" + req.get_header_value("User-Agent");
            res.set_content(seen + "\n" + big, "text/plain");
        });
    int port = peer.Start();

    CHttpRequest request;
    request.SetHost("127.0.0.1", port);
    request.SetUrl("/COURSEMANAGERREQUEST.KIVO");
    request.AddParam("MethodName", "GetLessonList");
    request.AddParam("RequestArgs", "[{\"name\":\"a b&c\",\"cn\":\"\xE4\xB8\xAD\"}]");
    Exchange got = Fetch(port, request, kGenerousMs);
    ASSERT_EQ(got.sent, 0);
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.status, "200");
    EXPECT_EQ(got.response.version, "HTTP/1.1");
    EXPECT_EQ(got.response.body,
              "GetLessonList|[{\"name\":\"a b&c\",\"cn\":\"\xE4\xB8\xAD\"}]|127.0.0.1:" +
                  std::to_string(port) + "|Simple Http Client\n" + big);
    EXPECT_EQ(got.response.rawHeader.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(got.response.rawHeader.substr(got.response.rawHeader.size() - 4), "\r\n\r\n");
    EXPECT_EQ(got.response.headers["Content-Type"], "text/plain");
}

TEST(HttpClientExchange, ChunkedBodyFromHttplib) {
    HttplibServer peer;
    const std::string middle(30000, 'm');
    peer.server.Get("/x", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink& sink) {
            sink.write("Wiki", 4);
            sink.write(middle.data(), middle.size());
            sink.write("end", 3);
            sink.done();
            return true;
        });
    });
    int port = peer.Start();
    Exchange got = Fetch(port);
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.body, "Wiki" + middle + "end");
    EXPECT_EQ(got.response.headers["Transfer-Encoding"], "chunked");
}

TEST(HttpClientExchange, ChunkedWithExtensionsAndTrailers) {
    ScriptedServer peer(Pieces({"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n4;name=v",
                                "\r\nWi", "ki\r\n5\r\npedia\r\n0;x\r\nTrailer: t\r\n\r\n"},
                               20));
    Exchange got = Fetch(peer.port());
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.body, "Wikipedia");
}

TEST(HttpClientExchange, IncompleteChunkedBodyRunsIntoTheTimeOut) {
    ScriptedServer peer(
        Pieces({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n"}));
    EXPECT_EQ(Fetch(peer.port(), kShortMs).received, -1);
}

TEST(HttpClientExchange, SlowServerWithinAndBeyondTheTimeOut) {
    const std::vector<std::string> pieces = {"HTTP/1.1 200 OK\r\nContent-Le",
                                             "ngth: 10\r\n\r\n01234", "56789"};
    ScriptedServer slow(Pieces(pieces, 50));
    Exchange got = Fetch(slow.port());
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.body, "0123456789");
    EXPECT_EQ(got.response.headers["Content-Length"], "10");

    ScriptedServer tooSlow(Pieces(pieces, 2000));
    EXPECT_EQ(Fetch(tooSlow.port(), kShortMs).received, -1);

    ScriptedServer silent(Pieces({}));
    EXPECT_EQ(Fetch(silent.port(), kShortMs).received, -1);
}

TEST(HttpClientExchange, AnswersThatFailToParse) {
    ScriptedServer noReason(Pieces({"HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n"}));
    EXPECT_EQ(Fetch(noReason.port()).received, -1);

    // The interim answer is taken for the whole answer and refused.
    ScriptedServer interim(
        Pieces({"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}));
    EXPECT_EQ(Fetch(interim.port()).received, -1);

    ScriptedServer notHttp(Pieces({"SSH-2.0-OpenSSH\r\n\r\n"}));
    EXPECT_EQ(Fetch(notHttp.port()).received, -1);
}

TEST(HttpClientExchange, PeerClosingEarlyFails) {
    ScriptedServer midBody(Pieces({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123"}, 0, true));
    EXPECT_EQ(Fetch(midBody.port()).received, -1);

    ScriptedServer midHeader(Pieces({"HTTP/1.1 200 OK\r\nContent-"}, 0, true));
    EXPECT_EQ(Fetch(midHeader.port()).received, -1);
}

TEST(HttpClientExchange, BodyWithoutKnownLengthIsNotWaitedFor) {
    // The peer keeps the connection open: had we waited for the body, the
    // receive would end in the time-out instead.
    ScriptedServer lowerCase(Pieces({"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello"}));
    Exchange got = Fetch(lowerCase.port(), kGenerousMs);
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.body, "");
    EXPECT_EQ(got.response.headers["content-length"], "5");

    ScriptedServer noLength(Pieces({"HTTP/1.0 204 No Content\r\nX: y\r\n\r\n"}));
    got = Fetch(noLength.port(), kGenerousMs);
    ASSERT_EQ(got.received, 0);
    EXPECT_EQ(got.response.status, "204");
}

TEST(HttpClientExchange, NoByteBeyondTheAnnouncedBodyIsTaken) {
    ScriptedServer pipelined(
        Pieces({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none"
                "HTTP/1.1 201 Created\r\nContent-Length: 3\r\n\r\ntwo"}));
    SOCKET socket = CreateTcpSocket();
    ASSERT_EQ(ConnectTcp(socket, "127.0.0.1", pipelined.port(), kConnectMs), 0);
    CHttpRequest request;
    ASSERT_EQ(request.Send(socket, kGenerousMs), 0);
    CHttpResponse first;
    CHttpResponse second;
    EXPECT_EQ(first.Receive(socket, kGenerousMs), 0);
    EXPECT_EQ(second.Receive(socket, kGenerousMs), 0);
    CloseSocket(socket);
    EXPECT_EQ(first.body, "one");
    EXPECT_EQ(second.status, "201");
    EXPECT_EQ(second.body, "two");
}

TEST(HttpClientExchange, HostileSizesAreRefusedWithoutWaiting) {
    ScriptedServer huge(Pieces({"HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nx"}));
    EXPECT_EQ(Fetch(huge.port(), kGenerousMs).received, -1);

    ScriptedServer hugeChunk(
        Pieces({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7FFFFFFFFFFF\r\nx"}));
    EXPECT_EQ(Fetch(hugeChunk.port(), kGenerousMs).received, -1);

    ScriptedServer endlessExtension(Pieces(
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;" + std::string(8192, 'e')}));
    EXPECT_EQ(Fetch(endlessExtension.port(), kGenerousMs).received, -1);

    ScriptedServer endlessHeader(
        Pieces({"HTTP/1.1 200 OK\r\nX: " + std::string(CHttpResponse::kMaxHeaderBlock, 'x')}));
    EXPECT_EQ(Fetch(endlessHeader.port(), kGenerousMs).received, -1);
}

TEST(HttpClientExchange, NoTimeLeftFailsAtOnce) {
    ScriptedServer peer(Pieces({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}));
    SOCKET socket = CreateTcpSocket();
    ASSERT_EQ(ConnectTcp(socket, "127.0.0.1", peer.port(), kConnectMs), 0);
    CHttpRequest request;
    ASSERT_EQ(request.Send(socket, 0), 0);  // no limit when sending
    CHttpResponse response;
    EXPECT_EQ(response.Receive(socket, 0), -1);
    CloseSocket(socket);
}

}  // namespace
