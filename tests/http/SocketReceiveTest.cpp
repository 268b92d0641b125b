// The server side of the codec over real loopback connections: a raw client
// sends bytes the way browsers and broken peers do.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "tests/support/RawClient.h"

namespace {

int BoundPort(SOCKET socket) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A listening socket on an ephemeral loopback port.
class Listener {
public:
    Listener() {
        m_socket = CreateTcpSocket();
        EXPECT_EQ(ListenTcp(m_socket, "127.0.0.1", 0), 0);
        m_port = BoundPort(m_socket);
    }
    ~Listener() { CloseSocket(m_socket); }
    SOCKET Accept() {
        std::string ip;
        int port = 0;
        SOCKET s = AcceptTcp(m_socket, ip, port);
        EXPECT_EQ(ip, "127.0.0.1");
        return s;
    }
    int port() const { return m_port; }
    SOCKET socket() const { return m_socket; }

private:
    SOCKET m_socket = kInvalidSocket;
    int m_port = 0;
};

struct Received {
    int result = 0;
    ReceiveStatus status = ReceiveStatus::kOk;
    CHttpRequest request;
};

// Sends the pieces (with a pause between them) and receives on the server.
Received ReceiveFrom(const std::vector<std::string>& pieces, bool closeAfter = false) {
    Listener listener;
    RawClient client;
    EXPECT_TRUE(client.Connect(listener.port()));
    std::thread sender([&] {
        for (const auto& piece : pieces) {
            client.Send(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        if (closeAfter) {
            shutdown(client.Fd(), SHUT_WR);
        }
    });
    SOCKET server = listener.Accept();
    Received out;
    out.status = out.request.ReceiveFrom(server);
    out.result = out.status == ReceiveStatus::kOk ? 0 : -1;
    sender.join();
    CloseSocket(server);
    return out;
}

TEST(HttpReceive, CompleteRequestsInOneOrManyPieces) {
    auto get = ReceiveFrom({"GET /EXAMREQUEST.KIVO?MethodName=x HTTP/1.1\r\nHost: a\r\n\r\n"});
    ASSERT_EQ(get.result, 0);
    EXPECT_EQ(get.request.path, "/EXAMREQUEST.KIVO");

    auto post = ReceiveFrom({"POST /p HTTP/1.1\r\nContent-Length: 11\r\n", "\r\nanswer", "=1234"});
    ASSERT_EQ(post.result, 0);
    EXPECT_EQ(post.request.body, "answer=1234");
    std::string value;
    post.request.GetParam("answer", value);
    EXPECT_EQ(value, "1234");
}

TEST(HttpReceive, BodyLengthOnlyFromTheExactHeaderName) {
    // A lower-case length header is not seen, so the body that follows later
    // is not waited for.
    auto lower = ReceiveFrom({"POST /p HTTP/1.1\r\ncontent-length: 3\r\n\r\n", "k=v"});
    ASSERT_EQ(lower.result, 0);
    EXPECT_EQ(lower.request.body, "");
    // Text inside the body never counts as a length header.
    auto inBody = ReceiveFrom({"POST /p HTTP/1.1\r\n\r\nContent-Length: 500"});
    ASSERT_EQ(inBody.result, 0);
}

TEST(HttpReceive, FailuresSayWhyAndAreNotAnswered) {
    // HEAD is read whole, then refused by the parser.
    EXPECT_EQ(ReceiveFrom({"HEAD / HTTP/1.1\r\n\r\n"}).status, ReceiveStatus::kUnparsable);
    // A method the channel never takes is refused before the header ends.
    EXPECT_EQ(ReceiveFrom({"PUT / HTTP/1.1\r\n"}).status, ReceiveStatus::kBadMethod);
    EXPECT_EQ(ReceiveFrom({"GET / HTTP/1.1\r\nno colon\r\n\r\n"}).status,
              ReceiveStatus::kUnparsable);
    EXPECT_EQ(ReceiveFrom({"GET / HTTP/1.1\r\n"}, true).status, ReceiveStatus::kPeerClosed);
    EXPECT_EQ(ReceiveFrom({"POST /p HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc"}, true).status,
              ReceiveStatus::kPeerClosed);
}

TEST(HttpReceive, OversizedRequestsAreRefused) {
    std::string announced = "POST /p HTTP/1.1\r\nContent-Length: " +
                            std::to_string(CHttpRequest::kMaxBody + 1) + "\r\n\r\n";
    EXPECT_EQ(ReceiveFrom({announced}).status, ReceiveStatus::kTooLarge);

    std::string endlessHeader = "GET / HTTP/1.1\r\nX-Filler: " +
                                std::string(CHttpRequest::kMaxHeaderBlock + 10, 'a');
    EXPECT_EQ(ReceiveFrom({endlessHeader}).status, ReceiveStatus::kTooLarge);

    // The largest accepted body still arrives whole.
    std::string big(CHttpRequest::kMaxBody, 'x');
    auto ok = ReceiveFrom({"POST /p HTTP/1.1\r\nContent-Length: " + std::to_string(big.size()) +
                               "\r\n\r\n",
                           big});
    ASSERT_EQ(ok.result, 0);
    EXPECT_EQ(ok.request.body.size(), big.size());
}

TEST(HttpSend, DeliversTheWholeAnswerAndSurvivesAGonePeer) {
    Listener listener;
    RawClient client;
    ASSERT_TRUE(client.Connect(listener.port()));
    SOCKET server = listener.Accept();
    CHttpResponse response;
    response.SetBody(std::string(3 * 1024 * 1024, 'z'));
    std::string received;
    std::thread reader([&] { received = client.ReadUntilClosed(20000); });
    EXPECT_EQ(response.Send(server), 0);
    CloseSocket(server);
    reader.join();
    EXPECT_EQ(received.size(), response.body.size() + received.find("\r\n\r\n") + 4);

    // A peer that has gone: the send fails, the process lives (no SIGPIPE).
    RawClient gone;
    ASSERT_TRUE(gone.Connect(listener.port()));
    SOCKET second = listener.Accept();
    gone.Close();
    EXPECT_EQ(response.Send(second), -1);
    CloseSocket(second);

    CHttpResponse invalid;
    invalid.status = "2x0";
    EXPECT_EQ(invalid.Send(kInvalidSocket), 0);  // nothing to write is not a failure
}

TEST(Sockets, ConnectRules) {
    Listener listener;
    SOCKET s = CreateTcpSocket();
    EXPECT_EQ(ConnectTcp(s, "127.0.0.1", listener.port(), 2000), 0);
    CloseSocket(s);

    s = CreateTcpSocket();
    EXPECT_EQ(ConnectTcp(s, "localhost", listener.port(), 2000), 0);  // by name
    CloseSocket(s);

    int closedPort = listener.port();
    CloseSocket(listener.socket());
    s = CreateTcpSocket();
    EXPECT_EQ(ConnectTcp(s, "127.0.0.1", closedPort, 2000), -1);  // refused
    CloseSocket(s);

    s = CreateTcpSocket();
    EXPECT_EQ(ConnectTcp(s, "no-such-host.invalid", 80, 1000), -1);
    CloseSocket(s);
    EXPECT_EQ(ConnectTcp(kInvalidSocket, "127.0.0.1", 80, 10), -1);
}

TEST(Sockets, ListenRules) {
    EXPECT_EQ(ListenTcp(0, "", 1), -1);
    EXPECT_EQ(ListenTcp(-5, "", 1), -1);

    Listener first;
    SOCKET second = CreateTcpSocket();
    EXPECT_EQ(ListenTcp(second, "127.0.0.1", first.port()), -1);  // port taken
    CloseSocket(second);

    std::string ip;
    int port = 0;
    EXPECT_EQ(AcceptTcp(0, ip, port), kInvalidSocket);
}

TEST(Sockets, EmptyAddressListensOnEveryInterface) {
    // Needs an address other than loopback; containers without one skip.
    std::string other;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs* it = list; it; it = it->ifa_next) {
            if (it->ifa_addr && it->ifa_addr->sa_family == AF_INET) {
                char text[INET_ADDRSTRLEN];
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr,
                          text, sizeof(text));
                if (std::string(text).rfind("127.", 0) != 0) {
                    other = text;
                    break;
                }
            }
        }
        freeifaddrs(list);
    }
    if (other.empty()) {
        GTEST_SKIP() << "no non-loopback IPv4 address";
    }
    SOCKET listening = CreateTcpSocket();
    ASSERT_EQ(ListenTcp(listening, "", 0), 0);
    int port = BoundPort(listening);
    RawClient client;
    EXPECT_TRUE(client.Connect(port, other));
    CloseSocket(listening);

    SOCKET loopbackOnly = CreateTcpSocket();
    ASSERT_EQ(ListenTcp(loopbackOnly, "127.0.0.1", 0), 0);
    RawClient outsider;
    EXPECT_FALSE(outsider.Connect(BoundPort(loopbackOnly), other));
    CloseSocket(loopbackOnly);
}

}  // namespace
