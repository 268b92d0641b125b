// The built client, driven from outside the way pages and broken peers drive
// it: curl, raw sockets and headless Chromium against its channel port.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "foundation/Version.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/RawClient.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kUnknown =
    R"(([{"errorCode":"-1","errorMsg":"unknown request","isSuccess":"false","version":")" +
    std::string(kClientVersion) + R"("}]))";
constexpr int kStartLimitMs = 15000;

// true when the server has closed the connection (reading gives end of file).
bool ClosedByServer(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) != 1) {
        return false;
    }
    char c;
    return recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

class Client {
public:
    explicit Client(const TempDir& dir) : m_port(FreeLocalPort()), m_dir(dir) {}

    bool Start() {
        bool started = m_process.Start({std::string(QORVANE_BIN_DIR) + "/QorvanePlatform"},
                                       {{"QORVANE_CHANNEL_PORT", std::to_string(m_port)},
                                        {"QORVANE_DATA_PATH", m_dir.path().string()},
                                        {"QORVANE_REGISTRY_DIR", m_dir.file("registry")},
                                        {"XDG_RUNTIME_DIR", m_dir.path().string()},
                                        // The channel needs no screen.
                                        {"QT_QPA_PLATFORM", "offscreen"}});
        return started && m_process.WaitForOutput("ChannelServer", kStartLimitMs);
    }
    int port() const { return m_port; }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + target;
    }
    std::string Log() { return ReadWholeFile(m_dir.file("log/QorvaneUI.log")); }
    ChildProcess& process() { return m_process; }

private:
    int m_port;
    const TempDir& m_dir;
    ChildProcess m_process;
};

class ChannelE2E : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(client.Start()) << client.process().Output(); }
    void TearDown() override { EXPECT_EQ(client.process().Stop(), 0); }

    TempDir dir;
    Client client{dir};
};

TEST_F(ChannelE2E, CurlSeesTheExactAnswerBytes) {
    ASSERT_TRUE(HaveProgram("curl"));
    std::string out =
        RunCommand("curl -s -i '" + client.Url("/COMMANDREQUEST.KIVO?MethodName=StartExam") + "'");
    const std::string body = "callback" + kUnknown;
    EXPECT_EQ(out,
              "HTTP/1.1 200 OK\r\n"
              "Accept-Ranges: bytes\r\n"
              "Access-Control-Allow-Origin: *\r\n"
              "Connection: Close\r\n"
              "Content-Length: " +
                  std::to_string(body.size()) +
                  "\r\n"
                  "Content-Type: text/xml\r\n"
                  "Server: Simple Http Server\r\n"
                  "\r\n" +
                  body);

    std::string named =
        RunCommand("curl -s '" + client.Url("/EXAMREQUEST.KIVO?CallbackFunc=cb1") + "'");
    EXPECT_EQ(named, "cb1" + kUnknown);

    // A POST with a form body is routed the same way.
    std::string posted = RunCommand("curl -s --data 'MethodName=Nothing&CallbackFunc=p' '" +
                                    client.Url("/EXAMREQUEST.KIVO") + "'");
    EXPECT_EQ(posted, "p" + kUnknown);

    EXPECT_NE(client.Log().find("Request Path:/EXAMREQUEST.KIVO?CallbackFunc=cb1\n"),
              std::string::npos);
}

TEST_F(ChannelE2E, MalformedRequestsGetNoAnswerAndTheConnectionCloses) {
    const char* malformed[] = {
        "HEAD / HTTP/1.1\r\n\r\n",
        "PUT /EXAMREQUEST.KIVO HTTP/1.1\r\n\r\n",
        "GET / HTTP/1.1\r\nheader without colon\r\n\r\n",
        "POST / HTTP/1.1\r\nContent-Length: 999999999999\r\n\r\n",
    };
    for (const char* bytes : malformed) {
        RawClient raw;
        ASSERT_TRUE(raw.Connect(client.port()));
        raw.Send(bytes);
        bool timedOut = false;
        EXPECT_EQ(raw.ReadUntilClosed(15000, &timedOut), "") << bytes;
        EXPECT_FALSE(timedOut) << bytes;
    }
    EXPECT_TRUE(client.process().WaitForOutput("recv msg time out.", 5000));
    // The client still answers well-formed requests.
    RawClient raw;
    ASSERT_TRUE(raw.Connect(client.port()));
    raw.Send("GET /x HTTP/1.1\r\n\r\n");
    EXPECT_NE(raw.ReadUntilClosed(5000).find("callback" + kUnknown), std::string::npos);
}

TEST_F(ChannelE2E, SilentAndUnfinishedPeersAreDroppedAfterTheLimit) {
    RawClient silent, unfinished;
    ASSERT_TRUE(silent.Connect(client.port()));
    ASSERT_TRUE(unfinished.Connect(client.port()));
    unfinished.Send("GET /EXAMREQUEST.KIVO HTTP/1.1");  // never a line end
    bool timedOut = true;
    EXPECT_EQ(silent.ReadUntilClosed(25000, &timedOut), "");
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(unfinished.ReadUntilClosed(25000, &timedOut), "");
    EXPECT_FALSE(timedOut);
}

TEST_F(ChannelE2E, TheEleventhRequestWaitsForAFreeThread) {
    // Ten silent peers hold the ten pool threads until the receive limit.
    std::vector<std::unique_ptr<RawClient>> holders;
    for (int i = 0; i < 10; ++i) {
        holders.push_back(std::make_unique<RawClient>());
        ASSERT_TRUE(holders.back()->Connect(client.port()));
    }
    RawClient eleventh;
    ASSERT_TRUE(eleventh.Connect(client.port()));
    ASSERT_TRUE(eleventh.Send("GET /x?CallbackFunc=late HTTP/1.1\r\n\r\n"));
    std::string answer = eleventh.ReadUntilClosed(30000);
    EXPECT_NE(answer.find("late" + kUnknown), std::string::npos);
    // It was served only after a holder's thread had let go of its peer.
    int closed = 0;
    for (auto& holder : holders) {
        closed += ClosedByServer(holder->Fd()) ? 1 : 0;
    }
    EXPECT_GE(closed, 1);
}

TEST_F(ChannelE2E, HeadlessChromiumReceivesTheJsonpArgument) {
    const char* browser = "/usr/bin/chromium";
    ASSERT_TRUE(std::filesystem::exists(browser)) << "chromium is installed by scripts/deps.sh";
    std::string page = dir.file("page.html");
    WriteWholeFile(page,
                   "<!doctype html><html><body><pre id=\"out\">none</pre><script>"
                   "function report(arg){document.getElementById('out').textContent="
                   "'GOT:'+arg[0].errorMsg+'|'+arg[0].isSuccess+'|'+arg[0].version;}"
                   "</script><script src=\"" +
                       client.Url("/EXAMREQUEST.KIVO?MethodName=CheckNothing&CallbackFunc=report") +
                       "\"></script></body></html>");
    std::string profile = dir.file("chromium-profile");
    std::string out =
        RunCommand(std::string(browser) +
                   " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                   " --disable-background-networking --disable-component-update"
                   " --disable-sync --user-data-dir=" +
                   profile + " --dump-dom file://" + page + " 2>/dev/null");
    EXPECT_NE(out.find("GOT:unknown request|false|" + std::string(kClientVersion)),
              std::string::npos)
        << out;
}

TEST(ChannelStartup, TakenPortIsLoggedAndTheClientKeepsRunning) {
    TempDir dir;
    Client client(dir);
    // Hold the port with a plain listening socket of our own.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(client.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(fd, 5), 0);

    ASSERT_TRUE(client.Start());
    EXPECT_TRUE(client.process().WaitForOutput("Error: ChannelServer Listen fail.", 5000));
    EXPECT_TRUE(client.process().Running());
    EXPECT_EQ(client.process().Stop(), 0);
    close(fd);
}

}  // namespace
