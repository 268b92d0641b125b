#include "http/HttpRequest.h"

#include <gtest/gtest.h>

namespace {

std::string Param(const CHttpRequest& request, const std::string& name) {
    std::string value;
    request.GetParam(name, value);
    return value;
}

TEST(HttpRequestParse, PathQueryAndParametersAreDecodedSeparately) {
    CHttpRequest request;
    ASSERT_EQ(request.Parse("GET /a%20b+c?x=1&y=%41%4 HTTP/1.1\r\nHost: h\r\n\r\n"), 0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/a b c");
    EXPECT_EQ(request.target, "/a%20b+c?x=1&y=%41%4");
    EXPECT_EQ(request.paramText, "x=1&y=%41%4");
    EXPECT_EQ(Param(request, "x"), "1");
    EXPECT_EQ(Param(request, "y"), "A4");  // the trailing "%4" loses its "%"
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.headers.at("Host"), "h");
}

TEST(HttpRequestParse, FragmentAndPostQuery) {
    CHttpRequest get;
    ASSERT_EQ(get.Parse("GET /p?a=1#frag HTTP/1.0\r\n\r\n"), 0);
    EXPECT_EQ(get.paramText, "a=1");
    EXPECT_EQ(get.version, "HTTP/1.0");

    // A POST takes its parameters from the body and, for every name the body
    // does not give, from the query; the body wins in any letter case.
    CHttpRequest post;
    ASSERT_EQ(post.Parse("POST /p?q=1&K=query HTTP/1.1\r\nContent-Length: 3\r\n\r\nk=v"), 0);
    EXPECT_EQ(post.path, "/p");
    EXPECT_EQ(post.body, "k=v");
    EXPECT_EQ(post.params.size(), 2u);
    EXPECT_EQ(Param(post, "k"), "v");
    EXPECT_EQ(Param(post, "q"), "1");

    // A raw JSON body (an exam's answers) with the method in the query.
    CHttpRequest answers;
    const std::string json = R"([{"userUid":"u","path":"/a"}])";
    ASSERT_EQ(answers.Parse("POST /EXAMREQUEST.KIVO?MethodName=SubmitExamAnswers&CallbackFunc=cb "
                            "HTTP/1.1\r\nContent-Type: text/plain\r\nContent-Length: " +
                            std::to_string(json.size()) + "\r\n\r\n" + json),
              0);
    EXPECT_EQ(Param(answers, "MethodName"), "SubmitExamAnswers");
    EXPECT_EQ(Param(answers, "CallbackFunc"), "cb");
    EXPECT_EQ(answers.body, json);
}

TEST(HttpRequestParse, HeaderBlockRules) {
    CHttpRequest bare;
    ASSERT_EQ(bare.Parse("GET / HTTP/1.1\r\n\r\n"), 0);
    EXPECT_TRUE(bare.headers.empty());

    CHttpRequest twice;
    ASSERT_EQ(twice.Parse("GET / HTTP/1.1\r\nX-A: 1\r\nX-A:  2 \r\n\r\n"), 0);
    EXPECT_EQ(twice.headers.at("X-A"), "2");

    CHttpRequest colonless;
    EXPECT_EQ(colonless.Parse("GET / HTTP/1.1\r\nX-A: 1\r\nbroken line\r\n\r\n"), -1);
}

TEST(HttpRequestParse, RejectsWhatIsNotAWellFormedGetOrPost) {
    const char* bad[] = {
        "HEAD / HTTP/1.1\r\n\r\n",  // received, then rejected here
        "PUT / HTTP/1.1\r\n\r\n",
        "get / HTTP/1.1\r\n\r\n",  // methods are case-sensitive
        "GET / HTTP/2.0\r\n\r\n",
        "GET /\r\n\r\n",                  // no space after the target
        "GET\r\n\r\n",                    // no space after the method
        "GET / HTTP/1.1\r\nHost: x\r\n",  // no empty line
        "GET / HTTP/1.1",                 // no line end at all
        "",
    };
    for (const char* text : bad) {
        CHttpRequest request;
        EXPECT_EQ(request.Parse(text), -1) << text;
    }
}

TEST(HttpRequestParse, UrlEncodedParameterRules) {
    CHttpRequest request;
    request.DecodeParams("Name=1&name=2&a=b=c&bare&empty=&&x=%zz&p=%2");
    EXPECT_EQ(request.params.size(), 5u);
    EXPECT_EQ(request.params.count("name"), 1u);  // the later spelling wins
    EXPECT_EQ(Param(request, "NAME"), "2");
    EXPECT_EQ(Param(request, "a"), "b");
    EXPECT_EQ(request.params.count("bare"), 0u);
    EXPECT_EQ(request.params.count("empty"), 1u);
    EXPECT_EQ(Param(request, "empty"), "");
    EXPECT_EQ(Param(request, "x"), "zz");  // "%" before a non-digit is dropped
    EXPECT_EQ(Param(request, "p"), "2");

    std::string absent = "untouched";
    EXPECT_EQ(request.GetParam("missing", absent), -1);
    EXPECT_EQ(absent, "");
    int number = 7;
    EXPECT_EQ(request.GetIntParam("missing", number), -1);
    EXPECT_EQ(number, 7);
    request.AddParam("n", "  42abc");
    EXPECT_EQ(request.GetIntParam("N", number), 0);
    EXPECT_EQ(number, 42);
}

TEST(HttpRequestParse, MultipartFormData) {
    const std::string d = "--XyZ";
    CHttpRequest request;
    std::string body = d + "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n" + d +
                       "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.txt\"\r\n"
                       "Content-Type: text/plain\r\n\r\nline1\r\nline2\r\n" +
                       d + "--\r\n";
    EXPECT_EQ(request.DecodeParams(body), 0);
    EXPECT_EQ(Param(request, "f"), "v");
    EXPECT_EQ(Param(request, "file"), "line1\r\nline2");

    CHttpRequest noLineEnd;
    EXPECT_EQ(noLineEnd.DecodeParams("--only-a-delimiter"), -1);

    CHttpRequest keepsEarlierParts;
    std::string partial = d + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n" + d +
                          "\r\nno marker here\r\n" + d + "--";
    EXPECT_EQ(keepsEarlierParts.DecodeParams(partial), -1);
    EXPECT_EQ(Param(keepsEarlierParts, "a"), "1");
}

TEST(HttpRequestParse, HeadersSetByCodeCannotSplitLines) {
    CHttpRequest request;
    EXPECT_EQ(request.SetHeader("X-Note", " a\tb\rc\nd "), 0);
    EXPECT_EQ(request.headers.at("X-Note"), "a b c d");
    EXPECT_EQ(request.SetHeader("Bad Name", "x"), -1);
    EXPECT_EQ(request.SetHeader("Bad:Name", "x"), -1);
    EXPECT_EQ(request.SetHeader("  ", "x"), -1);
    EXPECT_EQ(request.SetHeader("X-A\r\nSet-Cookie", "x"), -1);  // no forged lines
    EXPECT_EQ(request.SetHeader("X\tA", "x"), -1);
    EXPECT_EQ(request.headers.count("Bad Name"), 0u);
    std::string value = "kept";
    EXPECT_EQ(request.GetHeader("x-note", value), -1);  // names are case-sensitive
    EXPECT_EQ(value, "kept");
}

TEST(HttpRequestParse, ResetRestoresTheClientDefaults) {
    CHttpRequest request;
    request.Parse("POST /x HTTP/1.0\r\nA: b\r\n\r\nq=1");
    request.Reset();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/");
    EXPECT_EQ(request.port, 80);
    EXPECT_TRUE(request.params.empty());
    EXPECT_EQ(request.headers.size(), 3u);
    EXPECT_EQ(request.headers.at("User-Agent"), "Simple Http Client");
}

}  // namespace
