// Update checks and installer downloads against the platform stand-in's
// update server (a real process on a free port): what the client asks for,
// byte for byte, and whether the installer it starts really runs.

#include <gtest/gtest.h>

#include <json/json.h>

#include <filesystem>

#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "foundation/Version.h"
#include "tests/support/Files.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "update/UpdateChecker.h"

namespace {

constexpr int kWaitMs = 15000;

class UpdateDownload : public testing::Test {
protected:
    void StartServer(const std::string& version, int64_t size, const std::string& md5 = "real",
                     const std::vector<std::string>& extra = {}) {
        m_server.Terminate();
        std::vector<std::string> args = {"--web",
                                         "0",
                                         "--update",
                                         "0",
                                         "--box",
                                         "0",
                                         "--data",
                                         m_dir.file("platform"),
                                         "--installer-version",
                                         version,
                                         "--installer-size",
                                         std::to_string(size),
                                         "--installer-md5",
                                         md5,
                                         "--installer-mark",
                                         Mark()};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_server.Start("PlatformStandin", args)) << m_server.Failure();
        m_address = Utf8ToWide(m_server.Url("update"));
    }
    std::string Mark() const { return m_dir.file("installed.jsonl"); }
    std::string Installer(const std::string& version) const {
        return m_dir.file("data/QorvaneSetup-" + version + ".run");
    }
    // The installer requests the update server received.
    std::vector<Json::Value> InstallerRequests() {
        std::vector<Json::Value> found;
        for (const Json::Value& entry : m_journal.Entries()) {
            if (StartsWithIgnoreCase(entry["path"].asString(), "/module/QorvaneSetup-")) {
                found.push_back(entry);
            }
        }
        return found;
    }
    bool WaitForInstalled(const std::string& version) {
        JournalWatch mark(Mark());
        return mark.WaitFor(
            [&](const Json::Value& e) { return e["version"].asString() == version; }, kWaitMs);
    }
    size_t InstalledCount() { return JournalWatch(Mark()).Entries().size(); }

    TempDir m_dir;
    StandinProcess m_server;
    std::u16string m_address;
    JournalWatch m_journal{m_dir.file("platform/journal.jsonl")};
    std::unique_ptr<UpdateChecker> m_checker = [this] {
        std::filesystem::create_directories(m_dir.file("data"));
        return std::make_unique<UpdateChecker>(m_dir.file("data"));
    }();
};

// Versions after ours: one more part makes a version newer.
std::string Newer(int step) {
    return std::string(kClientVersion) + "." + std::to_string(step);
}

TEST_F(UpdateDownload, OffersOnlyNewerVersionsTheLearnerDidNotPutOff) {
    StartServer(kClientVersion, 4096);
    EXPECT_FALSE(m_checker->CheckForUpdate(m_address));  // our own version

    StartServer(Newer(1), 4096);
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    EXPECT_EQ(m_checker->Offer().version, AnsiToWide(Newer(1)));
    EXPECT_EQ(m_checker->Offer().size, 4096);
    m_checker->RememberChoice(UpdateChecker::kSkipVersion);
    EXPECT_FALSE(m_checker->CheckForUpdate(m_address));

    StartServer(Newer(2), 4096);
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    m_checker->RememberChoice(UpdateChecker::kRemindLater);
    EXPECT_FALSE(m_checker->CheckForUpdate(m_address));

    // No server, or a list the server fails on: nothing to offer.
    StartServer(Newer(3), 4096, "real",
                {"--fail", "path=/module/QorvaneProductList.xml,status=500"});
    EXPECT_FALSE(m_checker->CheckForUpdate(m_address));
    m_server.Terminate();
    EXPECT_FALSE(m_checker->CheckForUpdate(m_address));
}

TEST_F(UpdateDownload, UpToOneMebibyteInOneRequestAndTheInstallerRuns) {
    StartServer(Newer(1), 1048576);
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    ASSERT_TRUE(m_checker->DownloadInstaller(m_checker->Offer()));
    ASSERT_TRUE(WaitForInstalled(Newer(1)));
    std::vector<Json::Value> requests = InstallerRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0]["headers"].isMember("Range"));
    EXPECT_EQ(std::filesystem::file_size(Installer(Newer(1))), 1048576u);
    EXPECT_FALSE(std::filesystem::exists(Installer(Newer(1)) + ".tmp"));
}

TEST_F(UpdateDownload, LargerInstallersComeInHundredExactRanges) {
    const int64_t size = 1048577;
    StartServer(Newer(1), size, "empty");
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    ASSERT_TRUE(m_checker->DownloadInstaller(m_checker->Offer()));
    ASSERT_TRUE(WaitForInstalled(Newer(1)));
    std::vector<Json::Value> requests = InstallerRequests();
    ASSERT_EQ(requests.size(), 100u);
    const int64_t part = size / 100;
    for (int i = 0; i < 100; ++i) {
        const int64_t last = i == 99 ? size - 1 : (i + 1) * part - 1;
        EXPECT_EQ(requests[i]["headers"]["Range"].asString(),
                  "bytes=" + std::to_string(i * part) + "-" + std::to_string(last));
    }
    // The bytes put together are the server's, in order (every padding line differs).
    const std::string bytes = ReadWholeFile(Installer(Newer(1)));
    ASSERT_EQ(bytes.size(), static_cast<size_t>(size));
    EXPECT_NE(bytes.find("# 00000000 padding\n"), std::string::npos);
    EXPECT_LT(bytes.find("# 00010000 padding"), bytes.find("# 00040000 padding"));
}

TEST_F(UpdateDownload, OnlyAnInstallerWithTheListedDigestIsStarted) {
    StartServer(Newer(1), 2 * 1048576);
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    ProductInfo offer = m_checker->Offer();
    ASSERT_EQ(offer.md5.size(), 32u);

    ProductInfo forged = offer;
    forged.md5 = u"0123456789abcdef0123456789abcdef";
    EXPECT_FALSE(m_checker->DownloadInstaller(forged));

    // The listed digest in capitals still matches.
    ProductInfo upper = offer;
    upper.md5 = Utf8ToWide(AsciiUpper(WideToUtf8(offer.md5)));
    ASSERT_TRUE(m_checker->DownloadInstaller(upper));
    ASSERT_TRUE(WaitForInstalled(Newer(1)));
    EXPECT_EQ(InstalledCount(), 1u);  // only the second download ran

    ProductInfo escaping = offer;
    escaping.fileName = u"../escaped.run";
    EXPECT_FALSE(m_checker->DownloadInstaller(escaping));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("escaped.run")));
}

TEST_F(UpdateDownload, AFailingRangeIsRetriedThenFailsTheDownload) {
    const std::string rule = "path=/module/QorvaneSetup-" + Newer(1) + ".run,status=500,times=";
    StartServer(Newer(1), 2 * 1048576, "real", {"--fail", rule + "2"});
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    ASSERT_TRUE(m_checker->DownloadInstaller(m_checker->Offer()));  // third try of part 0
    ASSERT_TRUE(WaitForInstalled(Newer(1)));
    EXPECT_EQ(InstallerRequests().size(), 102u);

    StartServer(Newer(1), 2 * 1048576, "real", {"--fail", rule + "3"});
    std::filesystem::remove(Installer(Newer(1)));
    ASSERT_TRUE(m_checker->CheckForUpdate(m_address));
    const size_t before = InstallerRequests().size();
    EXPECT_FALSE(m_checker->DownloadInstaller(m_checker->Offer()));
    EXPECT_EQ(InstallerRequests().size() - before, 3u);
    EXPECT_FALSE(std::filesystem::exists(Installer(Newer(1))));
    EXPECT_FALSE(std::filesystem::exists(Installer(Newer(1)) + ".tmp"));
    EXPECT_EQ(InstalledCount(), 1u);
}

}  // namespace
