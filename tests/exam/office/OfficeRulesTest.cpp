// The Office question's rules without a display: container command line and
// program names, the paper-loading states, saving with an earlier version,
// the answer address and the downloader's answer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <json/json.h>

#include "exam/paper/PaperLoadingRules.h"
#include "exam/question/QuestionFinishing.h"
#include "foundation/UrlUtil.h"
#include "peers/downloader/ExamRequests.h"
#include "peers/office/ContainerSession.h"
#include "tests/support/TempDir.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(OfficeContainer, VersionProgramAndCommandLine) {
    EXPECT_EQ(OfficeVersionFromCurVer("Word.Application.12"), "2007");
    EXPECT_EQ(OfficeVersionFromCurVer("Word.Application.14"), "2010");
    EXPECT_EQ(OfficeVersionFromCurVer("Word.Application.11"), "2003");
    EXPECT_EQ(OfficeVersionFromCurVer("Word.Application.15"), "2003");  // Office 2013
    EXPECT_EQ(OfficeVersionFromCurVer("12"), "2003");                   // no "."

    EXPECT_EQ(OfficeProcessName("docx"), "soffice.bin");
    EXPECT_EQ(OfficeProcessName("xls"), "soffice.bin");
    EXPECT_EQ(OfficeProcessName("DOCX"), "");  // compared exactly
    EXPECT_EQ(OfficeProcessName("pdf"), "");
    EXPECT_EQ(DocumentTypeOf("/d/u.v/q1.pptx"), "pptx");
    EXPECT_EQ(DocumentTypeOf("/d/u.v/q1"), "");

    EXPECT_EQ(
        ContainerCommandLine("/p/QVOfficeContainer2003", true, "/d/a b.docx", 0, 200, 1280, 824),
        (std::vector<std::string>{"/p/QVOfficeContainer2003", "1", "/d/a b.docx", "0", "200",
                                  "1280", "824", "0"}));
}

TEST(PaperLoading, SpeedupCountdownEndsWithTheOriginalChannel) {
    PaperLoadingRules rules;
    auto first = rules.SetStatus(PaperLoadingRules::kSpeedupFailed, false);
    ASSERT_TRUE(first.line1 && first.buttons);
    EXPECT_EQ(*first.line1, "从加速通道下载失败，尝试原始通道...(15)");
    EXPECT_TRUE(first.startSpeedupTimer);
    EXPECT_EQ(*first.buttons, (PaperLoadingRules::Buttons{false, false, true, true, true}));
    for (int left = 14; left >= 1; --left) {
        auto tick = rules.SetStatus(PaperLoadingRules::kSpeedupFailed, true);
        ASSERT_TRUE(tick.line1) << left;
        EXPECT_EQ(*tick.line1, "从加速通道下载失败，尝试原始通道...(" + std::to_string(left) + ")");
        EXPECT_FALSE(tick.close);
    }
    auto last = rules.SetStatus(PaperLoadingRules::kSpeedupFailed, true);
    EXPECT_TRUE(last.close);
    EXPECT_EQ(last.restart, PaperLoadingRules::kRestartOriginal);
}

TEST(PaperLoading, ContentCountdownEndsWith202AndOtherStates) {
    PaperLoadingRules rules;
    auto start = rules.SetStatus(PaperLoadingRules::kLoadingContent, false);
    EXPECT_EQ(*start.line1, "正在加载试卷内容...(30)");
    EXPECT_EQ(*start.buttons, PaperLoadingRules::Buttons{});
    PaperLoadingRules::Effects tick;
    for (int i = 0; i < 30; ++i) {
        tick = rules.SetStatus(PaperLoadingRules::kLoadingContent, true);
    }
    EXPECT_TRUE(tick.stopContentTimer);
    EXPECT_EQ(*tick.line1, "网络原因，试卷加载失败！错误码：202");
    EXPECT_EQ(*tick.buttons, (PaperLoadingRules::Buttons{true, true, false, false, false}));
    EXPECT_FALSE(tick.close);

    EXPECT_EQ(*rules.SetStatus(0, false).line1, "正在下载试卷...");
    EXPECT_EQ(*rules.SetStatus(2, false).line1, "从原始通道下载成功");
    EXPECT_EQ(*rules.SetStatus(-2, false).line1, "从原始通道下载失败：错误码：204");
    auto finished = rules.SetStatus(4, false);
    EXPECT_TRUE(finished.close);
    EXPECT_EQ(finished.restart, PaperLoadingRules::kNoRestart);
    auto unknown = rules.SetStatus(7, false);
    EXPECT_FALSE(unknown.handled);
    EXPECT_FALSE(unknown.line1 || unknown.buttons || unknown.close);
}

TEST(QuestionSave, EarlierVersionIsKeptUntilTheNewOneIsWritten) {
    TempDir dir;
    const std::string path = dir.file("q1.docx");

    // The container writes: the backup goes.
    Write(path, "old");
    int result = SaveDocumentToLocal(path, [&] {
        EXPECT_FALSE(std::filesystem::exists(path));  // moved aside while saving
        std::thread([path] {
            Write(path + ".tmp", "new"), std::filesystem::rename(path + ".tmp", path);
        }).detach();
        return true;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read(path), "new");
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // The container never writes: the earlier version comes back.
    EXPECT_EQ(SaveDocumentToLocal(
                  path, [] { return true; }, 300),
              -1);
    EXPECT_EQ(Read(path), "new");
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // No earlier version and no file: a failure, never a success.
    EXPECT_EQ(SaveDocumentToLocal(
                  dir.file("none.docx"), [] { return true; }, 300),
              -1);
}

TEST(QuestionSave, DownloadedDocumentAndAnswerAddress) {
    TempDir dir;
    ASSERT_TRUE(StoreDownloadedDocument(dir.file("a.docx"), "bytes"));
    EXPECT_EQ(Read(dir.file("a.docx")), "bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.docx.part")));
    EXPECT_FALSE(StoreDownloadedDocument(dir.file("missing/a.docx"), "bytes"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing/a.docx")));

    EXPECT_EQ(AnswerFileAddress("http://h/fileservice/download?file=a.docx&InputStream=1&x=2"),
              "fileservice/download?file=a.docx");
    EXPECT_EQ(AnswerFileAddress("http://h/fileservice/x"), "fileservice/x");
    EXPECT_EQ(AnswerFileAddress("http://h/other"), "http://h/other");
}

TEST(DownloaderExamRequests, SubmitFileArgumentsAndAnswers) {
    Json::Value args;
    ASSERT_TRUE(
        Json::Reader().parse(BuildSubmitFileArgs("/d/q 1.docx", "http://h/f?a=1&b=2"), args));
    ASSERT_TRUE(args.isArray());
    EXPECT_EQ(args[0]["LocalPath"].asString(), "/d/q 1.docx");
    const std::string encoded = args[0]["OriginalUrl"].asString();
    EXPECT_EQ(encoded.find_first_of("&?="), std::string::npos);  // safe inside a query
    EXPECT_EQ(PercentDecode(encoded), "http://h/f?a=1&b=2");
    EXPECT_EQ(ParseSubmitFileAnswer(R"([{"errorCode":"0"}])"), 0);
    EXPECT_EQ(ParseSubmitFileAnswer(R"([{"errorCode":"-2"}])"), -2);
    EXPECT_EQ(ParseSubmitFileAnswer(R"([{"errorCode":3}])"), -1);
    EXPECT_EQ(ParseSubmitFileAnswer(R"({"errorCode":"0"})"), -1);
    EXPECT_EQ(ParseSubmitFileAnswer("not json"), -1);
}

}  // namespace
