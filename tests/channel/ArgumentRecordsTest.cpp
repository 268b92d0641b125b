#include "channel/ArgumentRecords.h"

#include <gtest/gtest.h>

#include "channel/RequestEnvelope.h"

namespace {

TEST(ExamStartArgs, ReadsEveryFieldWithItsRule) {
    ExamStartArgs args;
    ASSERT_EQ(args.Parse(R"([{"userUid":"u","examUid":"e","domainUrl":"http%3A%2F%2Fh",
        "examArrangeUid":"ea","examGradeUid":"eg",
        "authInfo":{"authName":"n","authPass":"p"},
        "isTop":"YES","isClipboardClear":"true","captureCamera":"2",
        "videoUrl":"rtmp://v"}])"),
              kArgsOk);
    EXPECT_EQ(args.userUid, "u");
    EXPECT_EQ(args.examUid, "e");
    EXPECT_EQ(args.domainUrl, "http%3A%2F%2Fh");  // not decoded for the exam page
    EXPECT_EQ(args.examArrangeUid, "ea");
    EXPECT_EQ(args.examGradeUid, "eg");
    EXPECT_EQ(args.authName, "n");
    EXPECT_EQ(args.authPass, "p");
    EXPECT_TRUE(args.isTop);
    EXPECT_TRUE(args.isClipboardClear);
    EXPECT_EQ(args.captureCamera, 2);
    EXPECT_EQ(args.videoUrl, "rtmp://v");
}

TEST(ExamStartArgs, WrongTypesKeepDefaultsAndNothingIsRequired) {
    ExamStartArgs args;
    ASSERT_EQ(args.Parse(R"([{"isTop":true,"captureCamera":3,"authInfo":"n:p",
        "userUid":7}])"),
              kArgsOk);
    EXPECT_FALSE(args.isTop);
    EXPECT_EQ(args.captureCamera, 0);
    EXPECT_EQ(args.authName, "");
    EXPECT_EQ(args.userUid, "");
    EXPECT_EQ(args.Parse(R"([{"captureCamera":"3"}])"), kArgsOk);
    EXPECT_EQ(args.captureCamera, 3);
    EXPECT_EQ(args.Parse("[{}]"), kArgsOk);
    EXPECT_EQ(args.Parse("null"), kArgsOk);
}

TEST(ExamStartArgs, ParseStartsFromDefaultsEachTime) {
    ExamStartArgs args;
    ASSERT_EQ(args.Parse(R"([{"userUid":"u","isTop":"1","captureCamera":"2"}])"), kArgsOk);
    ASSERT_EQ(args.Parse("[{}]"), kArgsOk);
    EXPECT_EQ(args.userUid, "");
    EXPECT_FALSE(args.isTop);
    EXPECT_EQ(args.captureCamera, 0);
    // A failed parse leaves defaults too, never half of the previous request.
    ASSERT_EQ(args.Parse(R"([{"userUid":"u"}])"), kArgsOk);
    EXPECT_EQ(args.Parse(R"({"userUid":"u"})"), kArgsNotArray);
    EXPECT_EQ(args.userUid, "");
}

TEST(ArgumentRecords, BareObjectsAndBrokenTextFailForEveryRecord) {
    const std::string bare = R"({"domainUrl":"d","userUid":"u"})";
    EXPECT_EQ(ExamStartArgs().Parse(bare), kArgsNotArray);
    EXPECT_EQ(ExamQuestionArgs().Parse(bare), kArgsNotArray);
    EXPECT_EQ(CourseViewArgs().Parse(bare), kArgsNotArray);
    EXPECT_EQ(LearningArgs().Parse(bare), kArgsNotArray);
    EXPECT_EQ(TrustDomainArgs().Parse(bare), kArgsNotArray);
    EXPECT_EQ(ExamStartArgs().Parse(""), kArgsNotJson);
    EXPECT_EQ(TrustDomainArgs().Parse("[{"), kArgsNotJson);
}

const char* kQuestion = R"([{"userUid":"u","domainUrl":"a%2Fb","examUid":"e",
    "examArrangeUid":"ea","examGradeUid":"g","examQuestionUid":"q",
    "examQuestionType":"word","examQuestionContent":"%E4%B8%AD+x","isTop":"no"}])";

TEST(ExamQuestionArgs, DecodesUrlValuedFieldsAndKeepsHandlerFields) {
    ExamQuestionArgs args;
    const NativeWindow owner = 0x2a00007;
    args.ownerWindow = owner;
    args.lookOnly = true;
    ASSERT_EQ(args.Parse(kQuestion), kArgsOk);
    EXPECT_EQ(args.domainUrl, "a/b");
    EXPECT_EQ(args.examQuestionContent, "\xE4\xB8\xAD x");
    EXPECT_EQ(args.examGradeUid, "g");
    EXPECT_EQ(args.examQuestionUid, "q");
    EXPECT_EQ(args.examQuestionType, "word");
    EXPECT_FALSE(args.isTop);
    EXPECT_EQ(args.ownerWindow, owner);
    EXPECT_TRUE(args.lookOnly);
}

TEST(ExamQuestionArgs, EachRequiredFieldIsChecked) {
    for (const char* member : {"domainUrl", "examGradeUid", "examQuestionUid", "examQuestionType",
                               "examQuestionContent"}) {
        std::string json = kQuestion;
        std::string key = std::string("\"") + member + "\"";
        json.replace(json.find(key), key.size(), "\"dropped\"");
        EXPECT_EQ(ExamQuestionArgs().Parse(json), kArgsMissingField) << member;
    }
    // Present but not a string counts as missing.
    std::string numeric = kQuestion;
    numeric.replace(numeric.find("\"g\""), 3, "5");
    EXPECT_EQ(ExamQuestionArgs().Parse(numeric), kArgsMissingField);
    // Not required: userUid, examUid, examArrangeUid.
    std::string optional = kQuestion;
    optional.replace(optional.find("\"userUid\""), 9, "\"x1\"");
    EXPECT_EQ(ExamQuestionArgs().Parse(optional), kArgsOk);
}

TEST(CourseViewArgs, ReadsFieldsAndRequiresTheFour) {
    const std::string full = R"([{"userUid":"u","trainUid":"t","lessonUid":"l",
        "domainUrl":"http%3A%2F%2Fd","courseUrl":"c%20u","Name":"N","courseHash":"h",
        "courseType":"pdf","isTop":"True","preventHangup":"1","checkHangupIntev":"300"}])";
    CourseViewArgs args;
    ASSERT_EQ(args.Parse(full), kArgsOk);
    EXPECT_EQ(args.domainUrl, "http://d");
    EXPECT_EQ(args.courseUrl, "c%20u");  // not decoded
    EXPECT_EQ(args.Name, "N");
    EXPECT_EQ(args.trainUid, "t");
    EXPECT_EQ(args.lessonUid, "l");
    EXPECT_EQ(args.courseType, "pdf");
    EXPECT_TRUE(args.isTop);
    EXPECT_TRUE(args.preventHangup);
    EXPECT_EQ(args.checkHangupIntev, 300);

    for (const char* member : {"userUid", "domainUrl", "courseUrl", "courseHash"}) {
        std::string json = full;
        std::string key = std::string("\"") + member + "\"";
        json.replace(json.find(key), key.size(), "\"dropped\"");
        EXPECT_EQ(CourseViewArgs().Parse(json), kArgsMissingField) << member;
    }
    ASSERT_EQ(args.Parse(R"([{"userUid":"u","domainUrl":"d","courseUrl":"c","courseHash":"h"}])"),
              kArgsOk);
    EXPECT_EQ(args.checkHangupIntev, 0);
    EXPECT_FALSE(args.preventHangup);
}

TEST(LearningArgs, RequiresADecodedDomainUrl) {
    LearningArgs args;
    ASSERT_EQ(args.Parse(R"([{"userUid":"u","domainUrl":"http%3A%2F%2Fh%2Fl"}])"), kArgsOk);
    EXPECT_EQ(args.domainUrl, "http://h/l");
    EXPECT_EQ(args.userUid, "u");
    EXPECT_EQ(args.Parse(R"([{"userUid":"u"}])"), kArgsMissingField);
    EXPECT_EQ(args.Parse(R"([{"domainUrl":""}])"), kArgsMissingField);
}

TEST(TrustDomainArgs, CollectsStringUrlsInOrder) {
    TrustDomainArgs args;
    ASSERT_EQ(args.Parse(R"([{"userUid":"u","domainUrl":[{"url":"a.example"},{"url":5},"b",
        {"name":"c"},{"url":"d.example"},null,{"url":""}]}])"),
              kArgsOk);
    EXPECT_EQ(args.userUid, "u");
    EXPECT_EQ(args.urls, (std::vector<std::string>{"a.example", "d.example", ""}));

    ASSERT_EQ(args.Parse(R"([{"domainUrl":"a.example"}])"), kArgsOk);
    EXPECT_TRUE(args.urls.empty());
    ASSERT_EQ(args.Parse("[{}]"), kArgsOk);
    EXPECT_TRUE(args.urls.empty());
}

}  // namespace
