#include "channel/ChannelAnswers.h"

#include <gtest/gtest.h>

#include "foundation/Encoding.h"
#include "foundation/Version.h"
#include "http/HttpResponse.h"

namespace {

TEST(ChannelAnswers, SuccessAndFailureTexts) {
    EXPECT_EQ(SuccessAnswer("cb"),
              R"(cb([{"errorCode":"0","errorMsg":"ok","isSuccess":"true","version":")" +
                  std::string(kClientVersion) + R"("}]))");
    EXPECT_EQ(
        FailureAnswer(kMsgJsonError, "callback"),
        R"(callback([{"errorCode":"-1","errorMsg":"error json formart!","isSuccess":"false","version":")" +
            std::string(kClientVersion) + R"("}]))");
}

TEST(ChannelAnswers, StatusAnswersAreObjectsWithAResultArray) {
    EXPECT_EQ(
        ExamStatusAnswer(1, "cb"),
        R"(cb({"errorCode":"0","errorMsg":"ok","isSuccess":"true","result":[{"examStatus":"1"}],"version":")" +
            std::string(kClientVersion) + R"("}))");
    EXPECT_EQ(
        LearningStatusAnswer(false, "cb"),
        R"(cb({"errorCode":"0","errorMsg":"ok","isSuccess":"true","result":[{"learningStatus":"0"}],"version":")" +
            std::string(kClientVersion) + R"("}))");
    EXPECT_EQ(LearningStatusAnswer(true, "").rfind("callback({", 0), 0u);
    EXPECT_NE(ExamStatusAnswer(2, "cb").find(R"("examStatus":"2")"), std::string::npos);
}

TEST(ChannelAnswers, ContentLengthCountsUtf8Bytes) {
    // A message in the narrow code page reaches the page as UTF-8 (escaped in
    // the JSON), and the body length is that of the bytes sent.
    std::string before = AnsiCodePage();
    ASSERT_TRUE(SetAnsiCodePage("GBK"));
    std::string body = FailureAnswer("\xD6\xD0", "cb");  // 中 in GBK
    SetAnsiCodePage(before);
    EXPECT_NE(body.find("\\u4e2d"), std::string::npos) << body;
    CHttpResponse response;
    response.SetBody(body);
    std::string length;
    ASSERT_EQ(response.GetHeader("Content-Length", length), 0);
    EXPECT_EQ(length, std::to_string(body.size()));
}

}  // namespace
