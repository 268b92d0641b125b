// The libcurl transfer against cpp-httplib and raw-socket servers: what the
// server receives is checked, not what we meant to send.

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "foundation/Encoding.h"
#include "http/transfer/HttpTransfer.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/HttplibServer.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kGenerousMs = 10000;
constexpr int kCurlTimedOut = 28;          // CURLE_OPERATION_TIMEDOUT
constexpr int kCurlCouldNotConnect = 7;    // CURLE_COULDNT_CONNECT
constexpr int kCurlTooManyRedirects = 47;  // CURLE_TOO_MANY_REDIRECTS
constexpr int kCurlWriteError = 23;        // CURLE_WRITE_ERROR
constexpr int kCurlAborted = 42;           // CURLE_ABORTED_BY_CALLBACK

// Every transfer runs with the working folder in a fresh temporary folder, so
// the relative cookie store never leaks between tests or into the source tree.
class HttpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_dir.path());
    }
    void TearDown() override { std::filesystem::current_path(m_previous); }

    TempDir m_dir;
    std::filesystem::path m_previous;
};

// A peer answering "200 ok" to every request and keeping the raw bytes.
ScriptedServer::Handler AnswerOk() {
    return [](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        return true;
    };
}

std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

std::string Base(const ScriptedServer& server) {
    return "http://127.0.0.1:" + std::to_string(server.port());
}

TEST(HttpTransferSetup, MethodsAndListsFollowTheirRules) {
    CHttpTransfer transfer;
    EXPECT_EQ(transfer.SetMethod("get"), -1);
    EXPECT_EQ(transfer.SetMethod("DELETE"), -1);
    EXPECT_EQ(transfer.method, "GET");
    EXPECT_EQ(transfer.SetMethod("POST"), 0);
    EXPECT_EQ(transfer.SetMethod("post"), -1);
    EXPECT_EQ(transfer.method, "POST");
    for (const char* name : {"GET", "HEAD", "PUT"}) {
        EXPECT_EQ(transfer.SetMethod(name), 0);
        EXPECT_EQ(transfer.method, name);
    }

    transfer.AddFormField("userId", "1");
    transfer.AddFormField("examId", "2");
    transfer.AddFormField("  USERID \t", "3");
    ASSERT_EQ(transfer.formFields.size(), 2u);
    EXPECT_EQ(transfer.formFields[0], (std::pair<std::string, std::string>("USERID", "3")));
    EXPECT_EQ(transfer.formFields[1].first, "examId");
    transfer.AddFormField("text", "x y&z/\xE4\xB8\xAD");
    EXPECT_EQ(transfer.QueryText(), "USERID=3&examId=2&text=x%20y%26z%2F%E4%B8%AD");

    transfer.AddHeader("Range", "bytes=0-1");
    transfer.AddHeader(" range", "bytes=2-3");
    ASSERT_EQ(transfer.headerList.size(), 1u);
    EXPECT_EQ(transfer.headerList[0].second, "bytes=2-3");
}

TEST(HttpTransferSetup, ConnectLimitRule) {
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(500), 500);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(1), 1);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(2999), 2999);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(3000), 3000);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(180000), 3000);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(0), 3000);
    EXPECT_EQ(CHttpTransfer::ConnectTimeoutFor(-1), 3000);
}

TEST_F(HttpTransferTest, GetAppendsTheQueryToTheUrl) {
    ScriptedServer peer(AnswerOk());
    CHttpTransfer withQuery;
    withQuery.AddFormField("a", "1");
    withQuery.AddFormField("b", "x y");
    ASSERT_EQ(withQuery.Perform(Base(peer) + "/page?id=7", kGenerousMs, false), 0);
    EXPECT_EQ(withQuery.responseCode, 200);
    EXPECT_EQ(withQuery.body, "ok");

    CHttpTransfer plain;
    plain.AddFormField("a", "1");
    ASSERT_EQ(plain.Perform(Base(peer) + "/page", kGenerousMs, false), 0);

    CHttpTransfer bare;
    ASSERT_EQ(bare.Perform(Base(peer) + "/a b", kGenerousMs, false), 0);

    auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /page?id=7&a=1&b=x%20y HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[1]), "GET /page?a=1 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[2]), "GET /a%20b HTTP/1.1");
    EXPECT_NE(requests[0].find("\r\nUser-Agent: " + std::string(CHttpTransfer::kDefaultUserAgent) +
                               "\r\n"),
              std::string::npos);
    EXPECT_NE(requests[0].find("\r\nAccept-Encoding: "), std::string::npos);
}

TEST_F(HttpTransferTest, NonAsciiUrlIsSentInTheNarrowCodePage) {
    ScriptedServer peer(AnswerOk());
    ASSERT_TRUE(SetAnsiCodePage("GBK"));
    CHttpTransfer chinese;
    int result = chinese.Perform(Base(peer) + "/\xE4\xB8\xAD\xE6\x96\x87 x?q=\xE4\xB8\xAD",
                                 kGenerousMs, false);
    // Bytes that are not UTF-8 are already narrow: they are only escaped.
    CHttpTransfer narrow;
    int narrowResult = narrow.Perform(Base(peer) + "/\xD6\xD0\x7F", kGenerousMs, false);
    SetAnsiCodePage("");
    ASSERT_EQ(result, 0);
    ASSERT_EQ(narrowResult, 0);
    auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /%D6%D0%CE%C4%20x?q=%D6%D0 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[1]), "GET /%D6%D0%7F HTTP/1.1");
}

TEST_F(HttpTransferTest, PostSendsTheRawBodyOrTheQueryText) {
    HttplibServer peer;
    std::vector<std::pair<std::string, std::string>> seen;  // body, content type
    bool sawExpect = false;
    peer.server.Post("/submit", [&](const httplib::Request& req, httplib::Response& res) {
        seen.emplace_back(req.body, req.get_header_value("Content-Type"));
        sawExpect = sawExpect || req.has_header("Expect");
        res.set_content(std::to_string(req.body.size()), "text/plain");
    });
    peer.Start();

    std::string binary("a\0b\r\n\xFF", 6);
    CHttpTransfer raw;
    raw.SetMethod("POST");
    raw.rawBody = binary;
    raw.AddFormField("ignored", "1");
    ASSERT_EQ(raw.Perform(peer.Url("/submit"), kGenerousMs, false), 0);
    EXPECT_EQ(raw.body, "6");

    CHttpTransfer form;
    form.SetMethod("POST");
    form.AddFormField("answer", "[{\"a\":\"x y\"}]");
    form.AddFormField("n", "2");
    ASSERT_EQ(form.Perform(peer.Url("/submit"), kGenerousMs, false), 0);

    // Large enough that libcurl would otherwise ask for "100-continue" first.
    CHttpTransfer large;
    large.SetMethod("POST");
    large.rawBody = std::string(2 * 1024 * 1024, 'L');
    large.AddHeader("Content-Type", "application/octet-stream");
    ASSERT_EQ(large.Perform(peer.Url("/submit"), kGenerousMs, false), 0);
    EXPECT_EQ(large.body, std::to_string(large.rawBody.size()));

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, binary);
    EXPECT_EQ(seen[1].first, "answer=%5B%7B%22a%22:%22x%20y%22%7D%5D&n=2");
    EXPECT_EQ(seen[1].second, "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[2].second, "application/octet-stream");
    EXPECT_FALSE(sawExpect);
}

TEST_F(HttpTransferTest, MultipartPartsArriveInOrderWithTheFile) {
    const std::string fileBytes("PK\x03\x04 answer\0document", 24);
    WriteWholeFile(m_dir.file("answer.docx"), fileBytes);

    HttplibServer parsed;
    std::string first;
    std::string second;
    httplib::MultipartFormData file;
    parsed.server.Post("/upload", [&](const httplib::Request& req, httplib::Response& res) {
        first = req.get_file_value("userId").content;
        second = req.get_file_value("note").content;
        file = req.get_file_value("file");
        res.set_content("stored", "text/plain");
    });
    parsed.Start();

    CHttpTransfer upload;
    upload.SetMethod("POST");
    upload.multipart = true;
    upload.AddFormField("userId", "42");
    upload.AddFormField("note", "x y\r\n\xE4\xB8\xAD");
    upload.SetFileField("file", m_dir.file("answer.docx"));
    ASSERT_EQ(upload.Perform(parsed.Url("/upload"), kGenerousMs, false), 0);
    EXPECT_EQ(upload.body, "stored");
    EXPECT_EQ(first, "42");
    EXPECT_EQ(second, "x y\r\n\xE4\xB8\xAD");
    EXPECT_EQ(file.filename, "answer.docx");
    EXPECT_EQ(file.content, fileBytes);

    // The order on the wire: fields as added, the file part last.
    ScriptedServer raw(AnswerOk());
    CHttpTransfer again = upload;
    ASSERT_EQ(again.Perform(Base(raw) + "/upload", kGenerousMs, false), 0);
    ASSERT_EQ(raw.Requests().size(), 1u);
    const std::string wire = raw.Requests()[0];
    size_t userId = wire.find("name=\"userId\"");
    size_t note = wire.find("name=\"note\"");
    size_t part = wire.find("name=\"file\"; filename=\"answer.docx\"");
    ASSERT_NE(userId, std::string::npos);
    ASSERT_NE(note, std::string::npos);
    ASSERT_NE(part, std::string::npos);
    EXPECT_LT(userId, note);
    EXPECT_LT(note, part);
}

TEST_F(HttpTransferTest, MissingFilePartMakesNoRequest) {
    ScriptedServer peer(AnswerOk());
    CHttpTransfer upload;
    upload.SetMethod("POST");
    upload.multipart = true;
    upload.AddFormField("userId", "42");
    upload.SetFileField("file", m_dir.file("missing.docx"));
    EXPECT_EQ(upload.Perform(Base(peer) + "/upload", kGenerousMs, false), -1);
    EXPECT_NE(upload.result, 0);
    EXPECT_EQ(upload.responseCode, 0);
    // A request that did arrive would be answered before the next one.
    CHttpTransfer probe;
    ASSERT_EQ(probe.Perform(Base(peer) + "/probe", kGenerousMs, false), 0);
    ASSERT_EQ(peer.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(peer.Requests()[0]), "GET /probe HTTP/1.1");
}

TEST_F(HttpTransferTest, CookiesFollowFromOneTransferToTheNext) {
    HttplibServer peer;
    std::string cookieSeen;
    peer.server.Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "sid=abc123; Path=/");
        res.set_content("in", "text/plain");
    });
    peer.server.Get("/exam", [&](const httplib::Request& req, httplib::Response& res) {
        cookieSeen = req.get_header_value("Cookie");
        res.set_content("exam", "text/plain");
    });
    peer.Start();
    {
        CHttpTransfer login;
        ASSERT_EQ(login.Perform(peer.Url("/login"), kGenerousMs, false), 0);
    }
    EXPECT_NE(ReadWholeFile(m_dir.file("cookie.txt")).find("sid\tabc123"), std::string::npos);
    CHttpTransfer exam;
    ASSERT_EQ(exam.Perform(peer.Url("/exam"), kGenerousMs, false), 0);
    EXPECT_EQ(cookieSeen, "sid=abc123");
}

TEST_F(HttpTransferTest, RedirectsAreFollowedUpToFive) {
    HttplibServer peer;
    std::vector<std::string> referers;
    peer.server.Get(R"(/hop/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        int left = std::stoi(req.matches[1]);
        referers.push_back(req.get_header_value("Referer"));
        if (left == 0) {
            res.set_content("landed", "text/plain");
        } else {
            res.set_redirect("/hop/" + std::to_string(left - 1), 302);
        }
    });
    peer.Start();

    CHttpTransfer five;
    ASSERT_EQ(five.Perform(peer.Url("/hop/5"), kGenerousMs, false), 0);
    EXPECT_EQ(five.responseCode, 200);
    EXPECT_EQ(five.body, "landed");
    ASSERT_EQ(referers.size(), 6u);
    EXPECT_EQ(referers[0], "");
    EXPECT_EQ(referers[1], peer.Url("/hop/5"));

    CHttpTransfer six;
    EXPECT_EQ(six.Perform(peer.Url("/hop/6"), kGenerousMs, true), -1);
    EXPECT_EQ(six.result, kCurlTooManyRedirects);
}

TEST_F(HttpTransferTest, RangeAndErrorStatuses) {
    HttplibServer peer;
    peer.server.Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("0123456789", "application/octet-stream");
    });
    peer.Start();
    CHttpTransfer part;
    part.AddHeader("Range", "bytes=2-5");
    ASSERT_EQ(part.Perform(peer.Url("/file"), kGenerousMs, false), 0);
    EXPECT_EQ(part.responseCode, 206);
    EXPECT_EQ(part.body, "2345");

    // An error status is an answer, not a failed transfer.
    CHttpTransfer missing;
    ASSERT_EQ(missing.Perform(peer.Url("/nothing-here"), kGenerousMs, false), 0);
    EXPECT_EQ(missing.result, 0);
    EXPECT_EQ(missing.responseCode, 404);
}

TEST_F(HttpTransferTest, FailuresCarryLibcurlsCode) {
    CHttpTransfer refused;
    EXPECT_EQ(refused.Perform("http://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/",
                              kGenerousMs, false),
              -1);
    EXPECT_EQ(refused.result, kCurlCouldNotConnect);
    EXPECT_EQ(refused.responseCode, 0);

    // A server that answers the header and then stalls: the total limit ends it.
    ScriptedServer stalls([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234");
        return false;
    });
    CHttpTransfer slow;
    EXPECT_EQ(slow.Perform(Base(stalls) + "/", 500, false), -1);
    EXPECT_EQ(slow.result, kCurlTimedOut);
    EXPECT_EQ(slow.responseCode, 200);
    EXPECT_EQ(slow.body, "01234");

    BlackHoleListener hole;
    CHttpTransfer unanswered;
    EXPECT_EQ(
        unanswered.Perform("http://127.0.0.1:" + std::to_string(hole.port()) + "/", 500, false),
        -1);
    EXPECT_EQ(unanswered.result, kCurlTimedOut);
}

TEST_F(HttpTransferTest, ConnectLimitStopsLongBeforeTheTotalLimit) {
    BlackHoleListener hole;
    CHttpTransfer unanswered;
    constexpr int kTotalMs = 60000;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(unanswered.Perform("http://127.0.0.1:" + std::to_string(hole.port()) + "/", kTotalMs,
                                 false),
              -1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(unanswered.result, kCurlTimedOut);
    EXPECT_LT(elapsed, std::chrono::milliseconds(kTotalMs / 2));
}

TEST_F(HttpTransferTest, CancelEndsATransferToASilentServer) {
    // The server takes the request and never answers; only the cancel ends
    // the transfer long before its limit.
    ScriptedServer silent([](ScriptedServer&, int, const std::string&) { return false; });
    std::atomic<bool> stop{false};
    CHttpTransfer transfer;
    transfer.cancelled = [&stop] { return stop.load(); };
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(transfer.Perform(Base(silent) + "/", 60000, false), -1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_EQ(transfer.result, kCurlAborted);
    EXPECT_LT(elapsed, std::chrono::milliseconds(30000));

    // Without the cancel the same transfer completes as before.
    CHttpTransfer plain;
    plain.cancelled = [] { return false; };
    ScriptedServer ok(AnswerOk());
    EXPECT_EQ(plain.Perform(Base(ok) + "/", kGenerousMs, false), 0);
    EXPECT_EQ(plain.body, "ok");
}

TEST_F(HttpTransferTest, OversizedBodyFailsInsteadOfGrowingWithoutEnd) {
    HttplibServer peer;
    peer.server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(100000, 'b'), "application/octet-stream");
    });
    peer.Start();
    CHttpTransfer capped;
    capped.maxBody = 1000;
    EXPECT_EQ(capped.Perform(peer.Url("/big"), kGenerousMs, false), -1);
    EXPECT_EQ(capped.result, kCurlWriteError);
    EXPECT_LE(capped.body.size(), 1000u);

    // Handed over piece by piece, the body is capped alike, and a sink that
    // refuses a piece stops the transfer.
    std::string streamed;
    CHttpTransfer sunk;
    sunk.bodySink = [&](const char* data, size_t size) {
        streamed.append(data, size);
        return true;
    };
    ASSERT_EQ(sunk.Perform(peer.Url("/big"), kGenerousMs, false), 0);
    EXPECT_EQ(streamed, std::string(100000, 'b'));
    EXPECT_EQ(sunk.bodyBytes, 100000u);
    EXPECT_TRUE(sunk.body.empty());
    sunk.maxBody = 1000;
    EXPECT_EQ(sunk.Perform(peer.Url("/big"), kGenerousMs, false), -1);
    EXPECT_EQ(sunk.result, kCurlWriteError);
    sunk.maxBody = CHttpTransfer::kMaxBody;
    sunk.bodySink = [](const char*, size_t) { return false; };
    EXPECT_EQ(sunk.Perform(peer.Url("/big"), kGenerousMs, false), -1);
    EXPECT_EQ(sunk.result, kCurlWriteError);
}

}  // namespace
