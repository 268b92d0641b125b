// The update decisions without a server: versions, the product list, the
// download plan and the learner's stored answers.

#include <gtest/gtest.h>

#include <ctime>

#include "tests/support/TempDir.h"
#include "update/InstallerDownload.h"
#include "update/ProductList.h"
#include "update/UpdateChecker.h"
#include "update/VersionCompare.h"

TEST(CompareVersions, ComparesNumbersComponentByComponent) {
    EXPECT_EQ(CompareVersions(u"2.3.1.18", u"2.3.1.17"), 1);
    EXPECT_EQ(CompareVersions(u"2.3.1", u"2.3.1.17"), -1);
    EXPECT_EQ(CompareVersions(u"2.4", u"2.3.1.17"), 1);
    EXPECT_EQ(CompareVersions(u"2.3.1.17", u"2.3.1.17"), 0);
    EXPECT_EQ(CompareVersions(u"2.10", u"2.9"), 1);  // numbers, not text
    // Odd texts keep the rule: trailing non-digits are ignored, an empty text
    // is older than any other, and with equal parts the longer one is newer.
    EXPECT_EQ(CompareVersions(u"2.3beta.1", u"2.3.1"), 0);
    EXPECT_EQ(CompareVersions(u"", u""), 0);
    EXPECT_EQ(CompareVersions(u"", u"0"), -1);
    EXPECT_EQ(CompareVersions(u"0", u""), 1);
    EXPECT_EQ(CompareVersions(u"2.3.1.17.0", u"2.3.1.17"), 1);
    EXPECT_EQ(CompareVersions(u"2.3.", u"2.3"), 1);
}

TEST(ProductList, ReadsRootChildrenInAnyCaseLaterOnesWin) {
    ProductInfo info;
    ASSERT_TRUE(ParseProductList(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><List><viewversion>2.3.1.17</viewversion>"
        "<VIEWVERSION>2.3.1.20</VIEWVERSION><md5>AbC</md5><Size> 2048xyz</Size>"
        "<FileName>setup 2.run</FileName><Log>修复问题</Log><Other>x</Other></List>",
        info));
    EXPECT_EQ(info.version, u"2.3.1.20");
    EXPECT_EQ(info.md5, u"AbC");
    EXPECT_EQ(info.size, 2048);
    EXPECT_EQ(info.fileName, u"setup 2.run");
    EXPECT_EQ(info.log, u"修复问题");
}

TEST(ProductList, RefusesListsWithoutVersionOrSize) {
    ProductInfo info;
    info.version = u"kept";
    EXPECT_FALSE(ParseProductList("<L><ViewVersion>2.4</ViewVersion><Size>0</Size></L>", info));
    EXPECT_FALSE(ParseProductList("<L><ViewVersion>2.4</ViewVersion><Size>-5</Size></L>", info));
    EXPECT_FALSE(ParseProductList("<L><ViewVersion></ViewVersion><Size>9</Size></L>", info));
    EXPECT_FALSE(ParseProductList("<L><ViewVersion>2.4</ViewVersion><Size>9</Size>", info));
    EXPECT_FALSE(ParseProductList("not xml at all", info));
    EXPECT_EQ(info.version, u"kept");  // a refused list changes nothing
}

TEST(InstallerDownload, OneRequestUpToOneMebibyteThenHundredRanges) {
    EXPECT_TRUE(InstallerDownload::PlanRanges(1048576).empty());
    for (int64_t size : {int64_t{1048577}, int64_t{104857600}, int64_t{150000001}}) {
        std::vector<ByteRange> ranges = InstallerDownload::PlanRanges(size);
        ASSERT_EQ(ranges.size(), 100u);
        EXPECT_EQ(ranges.front().first, 0);
        EXPECT_EQ(ranges.front().last, size / 100 - 1);
        for (size_t i = 1; i < ranges.size(); ++i) {
            EXPECT_EQ(ranges[i].first, ranges[i - 1].last + 1);
        }
        EXPECT_EQ(ranges.back().last, size - 1);
    }
}

TEST(InstallerDownload, FileNamesStayInTheDataFolder) {
    EXPECT_TRUE(InstallerDownload::IsSafeFileName("QorvaneSetup-2.3.1.18.run"));
    EXPECT_TRUE(InstallerDownload::IsSafeFileName("qorvane-client_2.3.1.18_amd64.deb"));
    for (const char* bad : {"", "../evil", "a/b", "a\\b", ".bashrc", "..", "a\nb"}) {
        EXPECT_FALSE(InstallerDownload::IsSafeFileName(bad)) << bad;
    }
}

TEST(UpdateChoices, SkipLastsRemindLaterWaitsADay) {
    TempDir dir;
    UpdateChecker checker(dir.path().string());
    LocalDatabase db;
    db.SetPath(dir.file("Qorvane.db"));
    const long long now = static_cast<long long>(std::time(nullptr));
    auto answer = [&](const std::string& version, long long ago, int type) {
        ASSERT_EQ(db.Exec("replace into tbl_AutoUpdate(ver,lastTime,type) values('" + version +
                          "','" + std::to_string(now - ago) + "','" + std::to_string(type) + "')")
                      .retCode,
                  0);
    };
    answer("2.3.1.18", 23 * 3600, UpdateChecker::kRemindLater);
    answer("2.3.1.19", 25 * 3600, UpdateChecker::kRemindLater);
    answer("2.3.1.20", 400 * 86400, UpdateChecker::kSkipVersion);
    answer("2.3.1.21", 0, 7);
    EXPECT_FALSE(checker.ShouldOfferUpdate(u"2.3.1.18"));
    EXPECT_TRUE(checker.ShouldOfferUpdate(u"2.3.1.19"));
    EXPECT_FALSE(checker.ShouldOfferUpdate(u"2.3.1.20"));
    EXPECT_TRUE(checker.ShouldOfferUpdate(u"2.3.1.21"));
    EXPECT_TRUE(checker.ShouldOfferUpdate(u"2.3.1.22"));
    // A version holding a quote is looked up, not broken into the statement.
    answer("2.3''x", 0, UpdateChecker::kSkipVersion);
    EXPECT_FALSE(checker.ShouldOfferUpdate(u"2.3'x"));
}

TEST(LocalDatabase, ReportsOpenAndStatementFailures) {
    TempDir dir;
    LocalDatabase db;
    db.SetPath(dir.file("missing-folder/x.db"));
    ExecSqlResult result = db.Exec("select 1");
    EXPECT_EQ(result.retCode, -1);
    EXPECT_EQ(result.message, "Open failed");
    db.SetPath(dir.file("x.db"));
    result = db.Exec("select nothing from nowhere");
    EXPECT_NE(result.retCode, 0);
    EXPECT_FALSE(result.message.empty());
    result = db.Exec("select 1, NULL, 'a'");
    ASSERT_EQ(result.retCode, 0);
    ASSERT_EQ(result.rowCount, 1);
    EXPECT_EQ(result.columnCount, 3);
    EXPECT_EQ(result.rows[0], (std::vector<std::string>{"1", "", "a"}));
}
