#include "channel/Dispatch.h"

#include <gtest/gtest.h>

#include <set>

#include "channel/Answer.h"
#include "foundation/Version.h"

namespace {

const std::string kUnknown =
    R"(callback([{"errorCode":"-1","errorMsg":"unknown request","isSuccess":"false","version":")" +
    std::string(kClientVersion) + R"("}]))";

class DispatchTest : public testing::Test {
protected:
    void SetUp() override {
        ClearChannelHandlers();
        SetChannelHandler("StartExam", [this](CHttpResponse& r, CHttpRequest&, CClientWork*) {
            ++calls;
            r.SetBody("started");
            return 0;
        });
    }
    void TearDown() override { ClearChannelHandlers(); }

    std::string Route(const std::string& target, int* result = nullptr) {
        CHttpRequest request;
        EXPECT_EQ(request.Parse("GET " + target + " HTTP/1.1\r\n\r\n"), 0) << target;
        CHttpResponse response;
        int r = DispatchRequest(response, nullptr, request);
        if (result) {
            *result = r;
        }
        return response.body;
    }

    int calls = 0;
};

TEST_F(DispatchTest, PathSpellingsThatReachTheExamFamily) {
    for (const char* target : {
             "/EXAMREQUEST.KIVO?MethodName=StartExam",
             "/examrequest.kivo?MethodName=StartExam",
             "\\EXAMREQUEST.KIVO?MethodName=StartExam",
             "/EXAMREQUEST%2EKIVO?MethodName=StartExam",
             "/EXAMREQUEST%252EKIVO?MethodName=StartExam",  // decoded twice
             "/EXAMREQUEST.KIVO?methodname=startexam",
         }) {
        EXPECT_EQ(Route(target), "started") << target;
    }
    EXPECT_EQ(calls, 6);
}

TEST_F(DispatchTest, UnknownPathsAndMethods) {
    int result = 0;
    EXPECT_EQ(Route("/EXAMREQUEST.KIVO/?MethodName=StartExam", &result), kUnknown);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Route("/COMMANDREQUEST.KIVO?MethodName=StartExam"), kUnknown);  // wrong family
    EXPECT_EQ(Route("/EXAMREQUEST.KIVO"), kUnknown);                          // no method
    EXPECT_EQ(Route("/EXAMREQUEST.KIVO?MethodName=StartExamX"), kUnknown);
    EXPECT_EQ(calls, 0);
    // A route without a handler yet answers the same way.
    EXPECT_EQ(Route("/EXAMREQUEST.KIVO?MethodName=StopExam"), kUnknown);
}

TEST_F(DispatchTest, CallbackComesOnlyFromCallbackFunc) {
    EXPECT_EQ(Route("/x?CallbackFunc=cb1").rfind("cb1(", 0), 0u);
    EXPECT_EQ(Route("/x?callback=cb2"), kUnknown);
    EXPECT_EQ(Route("/x?CallbackFunc=").rfind("callback(", 0), 0u);
    EXPECT_EQ(Route("/x?CallbackFunc=a%28%29").rfind("a(", 0), 0u);
}

TEST(RouteTable, EveryMethodOnOnePathTakesAHandler) {
    std::set<std::string> names;
    for (const auto& route : kChannelRoutes) {
        EXPECT_TRUE(names.insert(route.method).second) << route.method;
        EXPECT_TRUE(SetChannelHandler(route.method, nullptr)) << route.method;
    }
    EXPECT_FALSE(SetChannelHandler("NoSuchMethod", nullptr));
}

}  // namespace
