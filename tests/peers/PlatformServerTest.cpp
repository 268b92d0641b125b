#include "peers/site/PlatformServer.h"

#include <gtest/gtest.h>

namespace {

using namespace PlatformServer;

TEST(PlatformServer, AddressesFollowTheServerOfTheExam) {
    EXPECT_EQ(ExamPageAddress("http://s/exam.aspx?id=1", 7), "http://s/exam.aspx?id=1");
    EXPECT_EQ(ExamPageAddress("http://s/UserPaperPreview.aspx?id=1", 1700000000),
              "http://s/UserPaperPreview.aspx?id=1&t=1700000000");
    // Seconds past 2038 still print as the 32-bit number the server knows.
    EXPECT_EQ(ExamPageAddress("/UserPaperPreview.aspx?a", 0x100000001LL),
              "/UserPaperPreview.aspx?a&t=1");

    EXPECT_EQ(SnapshotUploadAddress("https://lms.example:8443/exam/start?x=1"),
              "http://lms.example:8443/lms/api/HanderReceiveImgInfo.ashx");
    EXPECT_EQ(SnapshotUploadAddress("lms.example"),
              "http://lms.example:80/lms/api/HanderReceiveImgInfo.ashx");
    // An exam page without a port: the snapshots go to port 80 of its host.
    EXPECT_EQ(SnapshotUploadAddress("http://lms.example/lms/exam/start.aspx?id=3"),
              "http://lms.example:80/lms/api/HanderReceiveImgInfo.ashx");
    EXPECT_EQ(BoxListAddress("http://s:81"),
              "http://s:81/lms/api/ValidCode.aspx?methodName=GetBoxList");
    EXPECT_EQ(AnswerDeliveryAddress("http://s:81", "/lms/api/ExamAnswer.ashx"),
              "http://s:81/lms/api/ExamAnswer.ashx");
    EXPECT_EQ(BoxDeliveryAddress("http://10.0.0.9:8080"),
              "http://10.0.0.9:8080/a.tundrelcgi?cmd=submmit_exam_answer");
}

TEST(PlatformServer, BoxListTakesDecodedNonEmptyAddressesOnly) {
    std::string body =
        R"([{"boxList":[{"boxUrl":"http%3A%2F%2Fa:1"},{"boxUrl":""},{"boxUrl":7},"x",{"boxUrl":"http://b:2"}]}])";
    EXPECT_EQ(ParseBoxList(200, body), (std::vector<std::string>{"http://a:1", "http://b:2"}));
    // An object is read by index like an array.
    EXPECT_EQ(
        ParseBoxList(200,
                     R"([{"boxList":{"0":{"boxUrl":"http://c:3"},"1":{"boxUrl":"http://d:4"}}}])"),
        (std::vector<std::string>{"http://c:3", "http://d:4"}));
    EXPECT_TRUE(ParseBoxList(500, body).empty());
    EXPECT_TRUE(ParseBoxList(200, R"({"boxList":[{"boxUrl":"http://a"}]})").empty());
    EXPECT_TRUE(ParseBoxList(200, R"([{"boxList":"http://a"}])").empty());
    EXPECT_TRUE(ParseBoxList(200, "not json").empty());
    EXPECT_TRUE(ParseBoxList(200, "[]").empty());
    EXPECT_TRUE(ParseBoxList(200, "null").empty());
}

TEST(PlatformServer, OnlyAnExplicitYesFromABoxCountsAsDelivered) {
    for (const char* yes : {"true", "TRUE", "yes", "Ok", "1"}) {
        EXPECT_TRUE(BoxAccepted(true, 200, std::string(R"([{"isSuccess":")") + yes + "\"}]"))
            << yes;
    }
    EXPECT_FALSE(BoxAccepted(true, 200, R"([{"isSuccess":"no"}])"));
    EXPECT_FALSE(BoxAccepted(true, 200, R"([{"isSuccess":true}])"));
    EXPECT_FALSE(BoxAccepted(true, 200, R"({"isSuccess":"true"})"));
    EXPECT_FALSE(BoxAccepted(true, 200, "<html>ok</html>"));
    EXPECT_FALSE(BoxAccepted(true, 500, R"([{"isSuccess":"true"}])"));
    EXPECT_FALSE(BoxAccepted(false, 200, R"([{"isSuccess":"true"}])"));
    EXPECT_TRUE(ServerAccepted(true, 200));
    EXPECT_FALSE(ServerAccepted(true, 302));
    EXPECT_FALSE(ServerAccepted(false, 200));
}

TEST(PlatformServer, StoredAnswerNameRunsFromFileserviceToInputStream) {
    EXPECT_EQ(StoredAnswerName("http://s/x/fileservice/get?id=9&InputStream=1&y=2"),
              "fileservice/get?id=9");
    EXPECT_EQ(StoredAnswerName("http://s/fileservice?id=9"), "fileservice?id=9");
    EXPECT_EQ(StoredAnswerName("http://s/files?id=9&InputStream=1"), "");
}

}  // namespace
