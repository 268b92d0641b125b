#include "channel/Answer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/Encoding.h"
#include "foundation/Version.h"

namespace {

TEST(Answer, GenericAnswerText) {
    EXPECT_EQ(
        BuildAnswer(-1, false, "unknown request", kClientVersion, ""),
        R"(callback([{"errorCode":"-1","errorMsg":"unknown request","isSuccess":"false","version":")" +
            std::string(kClientVersion) + R"("}]))");
    EXPECT_EQ(BuildAnswer(0, true, "ok", kClientVersion, "cb1"),
              R"(cb1([{"errorCode":"0","errorMsg":"ok","isSuccess":"true","version":")" +
                  std::string(kClientVersion) + R"("}]))");
    // Quotes and backslashes in a message stay inside the JSON string.
    EXPECT_EQ(BuildAnswer(7, false, "a\"b\\c", "1", "f"),
              R"(f([{"errorCode":"7","errorMsg":"a\"b\\c","isSuccess":"false","version":"1"}]))");
}

TEST(Answer, CallbackNamesCannotInjectScript) {
    EXPECT_EQ(SanitizeCallback("jQuery1830_1700000000000"), "jQuery1830_1700000000000");
    EXPECT_EQ(SanitizeCallback("window.app.cb[0]"), "window.app.cb[0]");
    EXPECT_EQ(SanitizeCallback("$cb"), "$cb");
    EXPECT_EQ(SanitizeCallback("alert(1);cb"), "alert1cb");
    EXPECT_EQ(SanitizeCallback("</script><script>x"), "scriptscriptx");
    EXPECT_EQ(SanitizeCallback("();\"'"), "callback");
    EXPECT_EQ(SanitizeCallback(""), "callback");
    EXPECT_EQ(BuildAnswer(0, true, "ok", "1", "a=b;c").rfind("abc(", 0), 0u);
}

TEST(Answer, MessagesInALegacyCodePageReachThePageIntact) {
    SetAnsiCodePage("GBK");
    // "考试" in GBK
    std::string gbk = "\xBF\xBC\xCA\xD4";
    std::string answer = BuildAnswer(0, true, gbk, kClientVersion, "cb");
    SetAnsiCodePage("");
    EXPECT_NE(answer.find(R"("errorMsg":"\u8003\u8bd5")"), std::string::npos) << answer;
}

}  // namespace
