// The system queries' reading rules over sample texts and environments.

#include <gtest/gtest.h>

#include "platform/sysinfo/SystemQueries.h"
#include "tests/support/ScopedEnvironment.h"

TEST(ProxySettings, ServerTextRules) {
    ProxySettings proxy;
    proxy.SetServer("http://10.1.2.3:8080/");
    EXPECT_EQ(proxy.host, "10.1.2.3");
    EXPECT_EQ(proxy.port, 8080);
    proxy.SetServer("proxy.school.example");
    EXPECT_EQ(proxy.host, "proxy.school.example");
    EXPECT_EQ(proxy.port, 80);
    proxy.SetServer("proxy:abc");
    EXPECT_EQ(proxy.host, "proxy");
    EXPECT_EQ(proxy.port, 80);
}

TEST(ProxySettings, BypassListIsTrimmedAndSplitAtSemicolonsAndCommas) {
    ProxySettings proxy;
    proxy.SetOverride(" a.example;;<local>\t; b.example,c.example ;");
    EXPECT_EQ(proxy.overrideList,
              (std::vector<std::string>{"a.example", "<local>", "b.example", "c.example"}));
    EXPECT_EQ(proxy.overrideText, " a.example;;<local>\t; b.example,c.example ;");
}

TEST(ProxySettings, EnvironmentInEitherCase) {
    // GNOME's settings, where installed, are in their default mode "none":
    // the environment decides.
    ScopedEnvironment env;
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "NO_PROXY"}) {
        env.Unset(name);
    }
    env.Set("HTTP_PROXY", "http://gate.example:3128");
    env.Set("no_proxy", "localhost,127.0.0.1");
    ProxySettings proxy;
    ASSERT_EQ(proxy.LoadFromIE(), 0);
    EXPECT_EQ(proxy.enabled, 1);
    EXPECT_EQ(proxy.host, "gate.example");
    EXPECT_EQ(proxy.port, 3128);
    EXPECT_EQ(proxy.overrideList, (std::vector<std::string>{"localhost", "127.0.0.1"}));

    env.Unset("HTTP_PROXY");
    env.Unset("no_proxy");
    ASSERT_EQ(proxy.LoadFromIE(), 0);
    EXPECT_EQ(proxy.enabled, 0);
    EXPECT_TRUE(proxy.host.empty());
    EXPECT_EQ(proxy.port, -1);
}

TEST(SystemVersion, NameFromOsReleaseAndNumbersFromTheKernel) {
    EXPECT_EQ(OsNameFromRelease("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian "
                                "GNU/Linux\"\nVERSION_ID=\"12\"\n"),
              "Debian GNU/Linux");
    EXPECT_EQ(OsNameFromRelease("NAME=\"Ubuntu\"\nVERSION_ID=\"22.04\"\nPRETTY_NAME=\"Ubuntu "
                                "22.04.3 LTS\"\n"),
              "Ubuntu");
    EXPECT_EQ(OsNameFromRelease("NAME=\"Arch Linux\"\nPRETTY_NAME=\"Arch Linux\"\n"), "Arch Linux");
    EXPECT_EQ(OsNameFromRelease("NAME=Gentoo\n"), "Gentoo");
    EXPECT_EQ(OsNameFromRelease(""), "");
    EXPECT_EQ(KernelVersionNumbers("6.1.0-13-amd64"), "6.1.0");
    EXPECT_EQ(KernelVersionNumbers("5.15.0."), "5.15.0");
    EXPECT_STREQ(ArchitectureSuffix("x86_64"), " 64-bit");
    EXPECT_STREQ(ArchitectureSuffix("aarch64"), " 64-bit");
    EXPECT_STREQ(ArchitectureSuffix("i686"), " 32-bit");
    EXPECT_STREQ(ArchitectureSuffix("armv7l"), " 32-bit");
    EXPECT_STREQ(ArchitectureSuffix("riscv64"), "");
}

TEST(Accounts, RootIsTheAdministratorUnknownUsersAreGuests) {
    EXPECT_EQ(AccountPrivilegeLevel("root"), 2);
    EXPECT_EQ(AccountPrivilegeLevel("no-such-user-here"), 0);
    EXPECT_FALSE(CurrentUserName().empty());
}
