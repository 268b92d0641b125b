// The system page's account and proxy texts.

#include <gtest/gtest.h>

#include "config/SystemInfoTexts.h"
#include "platform/sysinfo/SystemQueries.h"

using namespace SystemInfoTexts;

TEST(SystemInfoTexts, AccountTypes) {
    EXPECT_STREQ(AccountTypeId(2, "root"), "STR_SYSTEM_ADMIN");
    EXPECT_STREQ(AccountTypeId(2, "ADMINISTRATOR"), "STR_SYSTEM_ADMIN");
    EXPECT_STREQ(AccountTypeId(2, "teacher"), "STR_SYSTEM_NORMAL");
    EXPECT_STREQ(AccountTypeId(1, "learner"), "STR_SYSTEM_STANDARD");
    EXPECT_STREQ(AccountTypeId(0, "nobody"), "STR_SYSTEM_GUEST");
    EXPECT_STREQ(AccountTypeId(3, "SYSTEM"), "STR_SYSTEM_SYSTEM");
    EXPECT_STREQ(AccountTypeId(3, "www-data"), "STR_SYSTEM_DOMAIN");
}

TEST(SystemInfoTexts, ProxyAuthenticationShowsOneMarkPerPasswordCharacter) {
    ProxySettings proxy;
    proxy.enabled = 1;
    proxy.SetServer("gate:3128");
    const QString text =
        ProxyAuthText(0, proxy, true, "learner", true, "secret", true, "Basic realm=x");
    EXPECT_EQ(text.toStdString(), "类型：Basic  用户：learner  密码：******");
    EXPECT_TRUE(ProxyAuthText(1, proxy, true, "u", true, "p", true, "Basic").isEmpty());
}
