#include "foundation/UrlUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlUtil, UrlEncodeKeepsUnreservedAndSpellsSpacesAsPercent20) {
    EXPECT_EQ(UrlEncode("a b/\xC3\xA9"), "a%20b%2F%C3%A9");
    EXPECT_EQ(UrlEncode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(UrlEncode("a\tb\nc"), "a%20b%20c");
    EXPECT_EQ(UrlEncode("+%&=?:"), "%2B%25%26%3D%3F%3A");
    EXPECT_EQ(UrlEncode(std::string("\0\xFF", 2)), "%00%FF");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(UrlUtil, UrlEncodeQueryHasItsOwnKeptSet) {
    EXPECT_EQ(UrlEncodeQuery("a,b-c.d:e_f|g"), "a,b-c.d:e_f|g");
    EXPECT_EQ(UrlEncodeQuery("a b~/"), "a%20b%7E%2F");
    EXPECT_EQ(UrlEncodeQuery("[{\"k\":\"\xE4\xB8\xAD\"}]"), "%5B%7B%22k%22:%22%E4%B8%AD%22%7D%5D");
}

struct Split {
    int result;
    std::string host;
    int port;
    std::string path;
};

Split SplitOf(const std::string& url) {
    Split s{99, "unset", -99, "unset"};
    s.result = SplitHostPortPath(url, s.host, s.port, s.path);
    return s;
}

TEST(UrlUtil, SplitHostPortPathTakesEachPartOrItsDefault) {
    auto s = SplitOf("h:8080");
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, 8080);
    EXPECT_EQ(s.path, "/");

    s = SplitOf("h/x");
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, 80);
    EXPECT_EQ(s.path, "/x");

    s = SplitOf("https://exam.example.org:8443/a/b?c=d:e");
    EXPECT_EQ(s.host, "exam.example.org");
    EXPECT_EQ(s.port, 8443);
    EXPECT_EQ(s.path, "/a/b?c=d:e");

    // A ":" in the path is not a port.
    s = SplitOf("http://h/p:1");
    EXPECT_EQ(s.host, "h");
    EXPECT_EQ(s.port, 80);
    EXPECT_EQ(s.path, "/p:1");
}

TEST(UrlUtil, SplitHostPortPathFallsBackOnBadPortsAndFailsWithoutAHost) {
    EXPECT_EQ(SplitOf("h:0/").port, 80);
    EXPECT_EQ(SplitOf("h:-5/").port, 80);
    EXPECT_EQ(SplitOf("h:abc/").port, 80);
    EXPECT_EQ(SplitOf("h:70000/").port, 80);
    EXPECT_EQ(SplitOf("h:99999999999999999999/").port, 80);
    EXPECT_EQ(SplitOf("h:81x/").port, 81);
    EXPECT_EQ(SplitOf(":80").result, -1);
    EXPECT_EQ(SplitOf("").result, -1);
    EXPECT_EQ(SplitOf("http://").result, -1);
    EXPECT_EQ(SplitOf("/only/path").result, -1);
}

TEST(UrlUtil, QueryEscapeWithPlusKeepsOnlyTheSafeSet) {
    EXPECT_EQ(UrlEncodeQuery("aZ09_-.,:|", QuerySpace::kPlus), "aZ09_-.,:|");
    EXPECT_EQ(UrlEncodeQuery("a b", QuerySpace::kPlus), "a+b");
    EXPECT_EQ(UrlEncodeQuery("[{\"k\":\"v\"}]", QuerySpace::kPlus), "%5B%7B%22k%22:%22v%22%7D%5D");
    EXPECT_EQ(UrlEncodeQuery("\xE4\xB8\xAD+/%", QuerySpace::kPlus), "%E4%B8%AD%2B%2F%25");
    EXPECT_EQ(UrlEncodeQuery(std::string(1, '\0'), QuerySpace::kPlus), "%00");
}

TEST(UrlUtil, PercentDecodeStylesDifferOnlyOnBrokenEscapes) {
    for (PercentStyle style :
         {PercentStyle::kLenient, PercentStyle::kRequestPath, PercentStyle::kFormValue}) {
        EXPECT_EQ(PercentDecode("%2E%2e+x%E4%B8%AD", style), ".. x\xE4\xB8\xAD");
        EXPECT_EQ(PercentDecode("%252E", style), "%2E");
        EXPECT_EQ(PercentDecode(std::string("%00a", 4), style), std::string("\0a", 2));
    }
    EXPECT_EQ(PercentDecode("100%"), "100%");
    EXPECT_EQ(PercentDecode("%4"), "%4");
    EXPECT_EQ(PercentDecode("%zz%4g"), "%zz%4g");
    EXPECT_EQ(PercentDecode("100%", PercentStyle::kRequestPath), "100");
    EXPECT_EQ(PercentDecode("a%4", PercentStyle::kFormValue), "a4");
    EXPECT_EQ(PercentDecode("%zz", PercentStyle::kRequestPath), "%zz");
    EXPECT_EQ(PercentDecode("%zz", PercentStyle::kFormValue), "zz");
    EXPECT_EQ(PercentDecode("%4g/", PercentStyle::kRequestPath), "@/");
    EXPECT_EQ(PercentDecode("%4g/", PercentStyle::kFormValue), "@/");
}

}  // namespace
