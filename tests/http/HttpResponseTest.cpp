#include "http/HttpResponse.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpResponse, ChannelAnswerBytesAreExact) {
    CHttpResponse response;
    response.SetHeader("Content-Type", "text/xml");
    response.SetBody("cb([])");
    std::string out;
    ASSERT_EQ(response.Serialize(out), 0);
    EXPECT_EQ(out,
              "HTTP/1.1 200 OK\r\n"
              "Accept-Ranges: bytes\r\n"
              "Access-Control-Allow-Origin: *\r\n"
              "Connection: Close\r\n"
              "Content-Length: 6\r\n"
              "Content-Type: text/xml\r\n"
              "Server: Simple Http Server\r\n"
              "\r\n"
              "cb([])");
}

TEST(HttpResponse, ContentLengthIsAddedOnlyWhenMissing) {
    CHttpResponse response;
    response.body = "12345";
    std::string out;
    ASSERT_EQ(response.Serialize(out), 0);
    EXPECT_NE(out.find("Content-Length: 5\r\n"), std::string::npos);

    CHttpResponse fixed;
    fixed.SetHeader("Content-Length", "99");
    fixed.body = "1";
    ASSERT_EQ(fixed.Serialize(out), 0);
    EXPECT_NE(out.find("Content-Length: 99\r\n"), std::string::npos);
}

TEST(HttpResponse, InvalidStatusOrVersionSerialisesToNothing) {
    for (const char* status : {"20", "2x0", "2000", ""}) {
        CHttpResponse response;
        response.status = status;
        std::string out = "stale";
        EXPECT_EQ(response.Serialize(out), -1) << status;
        EXPECT_TRUE(out.empty());
    }
    CHttpResponse response;
    response.version = "HTTP/2";
    std::string out;
    EXPECT_EQ(response.Serialize(out), -1);
}

}  // namespace
