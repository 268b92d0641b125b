#include "channel/methods/ChannelMethods.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "channel/Answer.h"
#include "channel/ChannelAnswers.h"
#include "channel/Dispatch.h"
#include "channel/methods/ClientRequests.h"

namespace {

std::string Route(const std::string& target) {
    CHttpRequest request;
    EXPECT_EQ(request.Parse("GET " + target + " HTTP/1.1\r\n\r\n"), 0) << target;
    CHttpResponse response;
    DispatchRequest(response, nullptr, request);
    return response.body;
}

class ChannelMethodsTest : public testing::Test {
protected:
    void SetUp() override { ClearChannelHandlers(); }
    void TearDown() override {
        ClearChannelHandlers();
        ClientRequest<OpenExamRequest>::Install(nullptr);
    }
};

// A method missing from the table, or a name the router does not know,
// would answer "unknown request" to every page that calls it.
TEST_F(ChannelMethodsTest, EveryRouteGetsItsHandler) {
    EXPECT_THAT(RegisterChannelMethods(), testing::IsEmpty());
    for (const ChannelRoute& route : kChannelRoutes) {
        EXPECT_TRUE(HasChannelHandler(route.method)) << route.method;
    }
}

// A method whose window part is not installed fails as a refusal, and the
// record the page sent reaches the part that is.
TEST_F(ChannelMethodsTest, RequestsReachTheInstalledActionOrFail) {
    ASSERT_THAT(RegisterChannelMethods(), testing::IsEmpty());
    const std::string target =
        "/EXAMREQUEST.KIVO?MethodName=StartExam&CallbackFunc=cb&RequestArgs="
        "%5B%7B%22examUid%22%3A%22e1%22%7D%5D";
    EXPECT_EQ(Route(target), FailureAnswer(kMsgStartExamFail, "cb"));

    std::string seen;
    ClientRequest<OpenExamRequest>::Install([&seen](OpenExamRequest& request) {
        seen = request.exam.examUid;
        return 0;
    });
    EXPECT_EQ(Route(target), SuccessAnswer("cb"));
    EXPECT_EQ(seen, "e1");
}

}  // namespace
