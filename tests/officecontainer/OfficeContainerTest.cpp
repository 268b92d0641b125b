// The container's rules that need no LibreOffice: its command line, the
// filters it stores with, the private profile it seeds, and what it does
// where LibreOffice is missing.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "officecontainer/ContainerArguments.h"
#include "officecontainer/FileUrl.h"
#include "officecontainer/OfficeProfile.h"
#include "officecontainer/OfficeSession.h"
#include "officecontainer/StoreFilter.h"
#include "tests/support/TempDir.h"

namespace {

std::optional<ContainerArguments> Parse(std::vector<const char*> argv, std::string* error) {
    argv.insert(argv.begin(), "QVOfficeContainer2003");
    return ParseContainerArguments(static_cast<int>(argv.size()), argv.data(), error);
}

TEST(ContainerArguments, TakesTheClientsCommandLineAndRefusesAnythingElse) {
    std::string error;
    auto args = Parse({"1", "/d/a b.docx", "0", "200", "1280", "824", "0"}, &error);
    ASSERT_TRUE(args) << error;
    EXPECT_TRUE(args->topmost);
    EXPECT_EQ(args->document, "/d/a b.docx");
    EXPECT_EQ(std::vector<int>({args->x, args->y, args->width, args->height}),
              std::vector<int>({0, 200, 1280, 824}));
    for (const std::vector<const char*>& bad : std::vector<std::vector<const char*>>{
             {"1", "/d/a.docx", "0", "200", "1280", "824"},         // one missing
             {"yes", "/d/a.docx", "0", "200", "1280", "824", "0"},  // flag
             {"0", "", "0", "200", "1280", "824", "0"},             // no document
             {"0", "/d/a.docx", "0", "2x0", "1280", "824", "0"},    // not a number
             {"0", "/d/a.docx", "0", "200", "0", "824", "0"},       // empty size
             {"0", "/d/a.docx", "0", "200", "99999999999", "824", "0"}}) {
        error.clear();
        EXPECT_FALSE(Parse(bad, &error)) << bad[1] << " " << bad[3];
        EXPECT_FALSE(error.empty());
    }
}

TEST(StoreFilter, EachOfficeTypeKeepsItsOwnFormat) {
    EXPECT_EQ(StoreFilterFor("docx"), "MS Word 2007 XML");
    EXPECT_EQ(StoreFilterFor("doc"), "MS Word 97");
    EXPECT_EQ(StoreFilterFor("xlsx"), "Calc MS Excel 2007 XML");
    EXPECT_EQ(StoreFilterFor("xls"), "MS Excel 97");
    EXPECT_EQ(StoreFilterFor("pptx"), "Impress MS PowerPoint 2007 XML");
    EXPECT_EQ(StoreFilterFor("ppt"), "MS PowerPoint 97");
    EXPECT_EQ(StoreFilterFor("DOCX"), "");  // the types come as the platform spells them
    EXPECT_EQ(StoreFilterFor("pdf"), "");
}

TEST(FileUrl, EncodesEveryNameOfThePath) {
    EXPECT_EQ(FileUrlOf("/home/学生 1/a b.docx"), "file:///home/%E5%AD%A6%E7%94%9F%201/a%20b.docx");
    EXPECT_EQ(FileUrlOf("/tmp//x/"), "file:///tmp/x");
}

TEST(OfficeProfile, IsSeededPrivateAndGoneAfterwardsAndStaleOnesAreCleared) {
    TempDir dir;
    const std::string root = dir.file("office");
    // One left by a container that was killed, one of a container that runs.
    std::filesystem::create_directories(root + "/999999999/user");
    const std::string running = root + "/" + std::to_string(getppid());
    std::filesystem::create_directories(running);
    {
        OfficeProfile profile;
        std::string error;
        ASSERT_TRUE(profile.Create(root, getpid(), &error)) << error;
        EXPECT_EQ(profile.Url(), FileUrlOf(root + "/" + std::to_string(getpid())));
        std::ifstream in(profile.Path() + OfficeProfile::kSettingsFile);
        const std::string settings((std::istreambuf_iterator<char>(in)), {});
        for (const char* wanted : {"\"MacroSecurityLevel\" oor:op=\"fuse\"><value>3<",
                                   "\"DisableMacrosExecution\" oor:op=\"fuse\"><value>true<",
                                   "\"ShowTipOfTheDay\" oor:op=\"fuse\"><value>false<",
                                   "\"WarnAlienFormat\" oor:op=\"fuse\"><value>false<",
                                   "Office.Recovery/RecoveryInfo\"><prop oor:name=\"Enabled\" "
                                   "oor:op=\"fuse\"><value>false<"}) {
            EXPECT_NE(settings.find(wanted), std::string::npos) << wanted;
        }
        EXPECT_EQ(std::filesystem::status(profile.Path()).permissions(),
                  std::filesystem::perms::owner_all);
        EXPECT_FALSE(std::filesystem::exists(root + "/999999999"));
        EXPECT_TRUE(std::filesystem::exists(running));
    }
    EXPECT_FALSE(std::filesystem::exists(root + "/" + std::to_string(getpid())));
}

TEST(OfficeSession, WithoutLibreOfficeItSaysSoAndSavesNothing) {
    TempDir dir;
    std::ofstream(dir.file("q.docx")) << "x";
    std::promise<OfficeSession::Fault> told;
    OfficeSession session("", dir.path().string(),
                          {nullptr, [&](OfficeSession::Fault fault) { told.set_value(fault); }});
    EXPECT_FALSE(session.Start(dir.file("q.docx"), 0, 100, 100));
    auto fault = told.get_future();
    ASSERT_EQ(fault.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(fault.get(), OfficeSession::Fault::kNoOffice);
    EXPECT_FALSE(session.Save());
    session.Close();
}

}  // namespace
