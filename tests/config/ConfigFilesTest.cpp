#include <gtest/gtest.h>

#include <string>

#include "config/ClientSettings.h"
#include "config/VersionSetting.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

TEST(ClientSettings, AutoCacheTruthTable) {
    TempDir dir;
    ClientSettings settings = ClientSettings::InDataPath(dir.path().string() + "/");
    EXPECT_EQ(settings.Path(), dir.file("ClientArgs.ini"));
    EXPECT_TRUE(settings.ReadAutoCache());  // no file: default "1"

    struct Case {
        const char* text;
        bool expected;
    };
    for (Case c : {Case{"yes", true}, Case{"On", true}, Case{"true", true}, Case{"1", true},
                   Case{"2", false}, Case{"0", false}, Case{"no", false}, Case{"", false},
                   Case{"yess", false}}) {
        WriteWholeFile(settings.Path(), std::string("[CLIENTSET]\nAutoCache=") + c.text + "\n");
        EXPECT_EQ(settings.ReadAutoCache(), c.expected) << c.text;
    }
    WriteWholeFile(settings.Path(), "[CLIENTSET]\nBrowserEmulation=7\n");
    EXPECT_TRUE(settings.ReadAutoCache());
}

TEST(ClientSettings, BrowserEmulationRoundTripKeepsOtherKeys) {
    TempDir dir;
    ClientSettings settings = ClientSettings::InDataPath(dir.path().string());
    EXPECT_EQ(settings.ReadBrowserEmulation(), 0);
    WriteWholeFile(settings.Path(), "[CLIENTSET]\nAutoCache=NO\n");
    ASSERT_TRUE(settings.WriteBrowserEmulation(11001));
    EXPECT_EQ(settings.ReadBrowserEmulation(), 11001);
    ASSERT_TRUE(settings.WriteBrowserEmulation(7));
    EXPECT_EQ(settings.ReadBrowserEmulation(), 7);
    EXPECT_EQ(ReadWholeFile(settings.Path()), "[CLIENTSET]\nAutoCache=NO\nBrowserEmulation=7\n");
    EXPECT_FALSE(settings.ReadAutoCache());
}

TEST(VersionSetting, DefaultsAndOverrides) {
    TempDir dir;
    VersionSetting defaults = VersionSetting::Load(dir.file("missing.ini"));
    EXPECT_FALSE(defaults.FLV);
    EXPECT_TRUE(defaults.Internet);
    EXPECT_TRUE(defaults.AutoUpdate);
    EXPECT_FALSE(defaults.ProxyDetector);
    EXPECT_TRUE(defaults.AutoDelCache);
    EXPECT_FALSE(defaults.RequireLockdown);

    const std::string path = dir.file("versionSetting.ini");
    WriteWholeFile(
        path,
        "[course]\nflv=2\n[INTERNET]\nAllow=0\nAnalyticsHost=https://"
        "stats.school.example\n[AutoUpdate]\nAllow=off\n"
        "[ProxyDetector]\nAllow=1\n[AutoDelCache]\nAllow=0\n[Exam]\nRequireLockdown=1\n");
    VersionSetting changed = VersionSetting::Load(path);
    EXPECT_TRUE(changed.FLV);
    EXPECT_FALSE(changed.Internet);
    EXPECT_FALSE(changed.AutoUpdate);  // no digits reads as 0
    EXPECT_TRUE(changed.ProxyDetector);
    EXPECT_FALSE(changed.AutoDelCache);
    EXPECT_TRUE(changed.RequireLockdown);
    EXPECT_EQ(changed.AnalyticsHost, "https://stats.school.example");
}
