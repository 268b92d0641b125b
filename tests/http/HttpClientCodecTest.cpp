// The client direction of the codec on its own: building requests, reading
// status lines and header blocks, decoding chunked bodies.

#include <gtest/gtest.h>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

namespace {

TEST(HttpClientRequest, SetUrlNormalisesThePath) {
    CHttpRequest request;
    request.SetUrl("/a b");
    EXPECT_EQ(request.path, "/a%20b");
    request.SetUrl("  \t ");
    EXPECT_EQ(request.path, "/");
    request.SetUrl("x");
    EXPECT_EQ(request.path, "/x");
    request.SetUrl("HTTP://host/p");
    EXPECT_EQ(request.path, "HTTP://host/p");
    // Blanks inside can never split the request line.
    request.SetUrl(" /a\tb\r\nc ");
    EXPECT_EQ(request.path, "/a%20b%20%20c");
}

TEST(HttpClientRequest, SetHostFallsBackToPort80) {
    CHttpRequest request;
    std::string host;
    request.SetHost("127.0.0.1", 32889);
    EXPECT_EQ(request.port, 32889);
    request.GetHeader("Host", host);
    EXPECT_EQ(host, "127.0.0.1:32889");
    for (int bad : {0, -5, 65536}) {
        request.SetHost("example.org", bad);
        EXPECT_EQ(request.port, 80);
        request.GetHeader("Host", host);
        EXPECT_EQ(host, "example.org");
    }
}

TEST(HttpClientRequest, SerializesAGetWithEscapedQueryInMapOrder) {
    CHttpRequest request;
    request.SetHost("127.0.0.1", 32889);
    request.SetUrl("/COURSEMANAGERREQUEST.KIVO");
    request.AddParam("b", "1&2");
    request.AddParam("a", "x y");
    std::string out;
    ASSERT_EQ(request.Serialize(out), 0);
    EXPECT_EQ(out,
              "GET /COURSEMANAGERREQUEST.KIVO?a=x+y&b=1%262 HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Connection: Keep-Alive\r\n"
              "Host: 127.0.0.1:32889\r\n"
              "User-Agent: Simple Http Client\r\n"
              "\r\n");

    CHttpRequest bare;
    bare.path.clear();
    ASSERT_EQ(bare.Serialize(out), 0);
    EXPECT_EQ(out.substr(0, 16), "GET / HTTP/1.1\r\n");
}

TEST(HttpClientRequest, OnlyGetSerializes) {
    CHttpRequest request;
    request.method = "POST";
    std::string out = "stale";
    EXPECT_EQ(request.Serialize(out), -1);
    EXPECT_TRUE(out.empty());
}

TEST(HttpClientResponse, FindRawHeaderIsCaseSensitive) {
    const std::string raw =
        "HTTP/1.1 200 OK\r\nContent-Length:   12 \r\ncontent-type: text/plain\r\nX-Empty:\r\n\r\n";
    std::string value = "stale";
    ASSERT_EQ(FindRawHeader(raw, "Content-Length", value), 0);
    EXPECT_EQ(value, "12 ");
    ASSERT_EQ(FindRawHeader(raw, "  Content-Length: ", value), 0);
    EXPECT_EQ(value, "12 ");
    EXPECT_EQ(FindRawHeader(raw, "Content-Type", value), -1);
    EXPECT_TRUE(value.empty());
    EXPECT_EQ(FindRawHeader(raw, " :: ", value), -1);
    ASSERT_EQ(FindRawHeader(raw, "X-Empty", value), 0);
    EXPECT_TRUE(value.empty());
    // A name on the status line is not a header.
    EXPECT_EQ(FindRawHeader("HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK", value), -1);
}

TEST(HttpClientResponse, DecodeChunkedNeedsTheLastChunk) {
    std::string out;
    EXPECT_EQ(DecodeChunked("4\r\nWiki\r\n0\r\n\r\n", out), 0);
    EXPECT_EQ(out, "Wiki");
    EXPECT_EQ(
        DecodeChunked("4;ext=1\r\nWiki\r\n  a \r\n0123456789\r\n0;last\r\nTrailer: x\r\n\r\n", out),
        0);
    EXPECT_EQ(out, "Wiki0123456789");
    EXPECT_EQ(DecodeChunked("4\r\nWiki\r\n", out), -1);
    EXPECT_EQ(DecodeChunked("4\r\nWik", out), -1);
    EXPECT_EQ(DecodeChunked("4\r\nWiki\r\n0", out), -1);
    EXPECT_EQ(DecodeChunked("", out), -1);
    // A size beyond anything addressable is incomplete forever, never a wrap-around.
    EXPECT_EQ(DecodeChunked("FFFFFFFFFFFFFFFFFFFF\r\nab\r\n0\r\n\r\n", out), -1);
}

TEST(HttpClientResponse, ParseReadsStatusLineHeadersAndBody) {
    CHttpResponse response;
    ASSERT_EQ(
        response.Parse("HTTP/1.0 404 Not  Found\r\nA: 1\r\nA: 2\r\nB:x\r\n\r\nbody\r\n\r\nmore"),
        0);
    EXPECT_EQ(response.version, "HTTP/1.0");
    EXPECT_EQ(response.status, "404");
    EXPECT_EQ(response.reason, "Not  Found");
    EXPECT_EQ(response.headers.size(), 2u);  // the server defaults are gone
    EXPECT_EQ(response.headers["A"], "2");
    EXPECT_EQ(response.headers["B"], "x");
    EXPECT_EQ(response.body, "body\r\n\r\nmore");

    ASSERT_EQ(response.Parse("HTTP/1.1 600 \r\n\r\n"), 0);
    EXPECT_EQ(response.reason, "");
    EXPECT_TRUE(response.headers.empty());
}

TEST(HttpClientResponse, ParseRejectsWhatIsNotAFinalHttp1Answer) {
    CHttpResponse response;
    for (const char* text : {
             "HTTP/1.1 200\r\n\r\n",           // no space after the code
             "HTTP/1.1 100 Continue\r\n\r\n",  // interim answer
             "HTTP/1.1 199 X\r\n\r\n",
             "HTTP/1.1 601 X\r\n\r\n",
             "HTTP/1.1 2000 X\r\n\r\n",
             "HTTP/1.1 2x0 X\r\n\r\n",
             "HTTP/2 200 OK\r\n\r\n",
             "HTTP/1.1 200 OK\r\nno colon\r\n\r\n",
             "HTTP/1.1 200 OK\r\n",
             "ICY 200 OK\r\n\r\n",
         }) {
        EXPECT_EQ(response.Parse(text), -1) << text;
    }
}

}  // namespace
