// How the client reads the downloader's answers: success flags, lesson lists
// with their number rules, and the separator format of SQL results.

#include <gtest/gtest.h>

#include "peers/downloader/CourseManagerClient.h"
#include "peers/downloader/DownloaderJson.h"
#include "peers/downloader/SqlClient.h"

TEST(DownloaderArgs, SortedKeysAndTrailingNewline) {
    EXPECT_EQ(BuildLessonArgs(u"U1", {}), "[{\"userUid\":\"U1\"}]\n");
    EXPECT_EQ(BuildLessonArgs(u"U1", {u"L1", u"L2"}),
              "[{\"lessonList\":[{\"lessonUid\":\"L1\"},{\"lessonUid\":\"L2\"}],"
              "\"userUid\":\"U1\"}]\n");
    Json::Value root;
    ASSERT_TRUE(ParseDownloaderJson(BuildLessonArgs(u"学员", {u"课程"}), root));
    EXPECT_EQ(root[0u]["userUid"].asString(), "学员");
    EXPECT_EQ(root[0u]["lessonList"][0u]["lessonUid"].asString(), "课程");
}

TEST(DownloaderSuccess, FlagValuesAndShapes) {
    for (const char* yes : {"true", "Yes", "ok", "1", "TRUE"}) {
        EXPECT_EQ(CheckIsSuccess(std::string("[{\"isSuccess\":\"") + yes + "\"}]"), 0) << yes;
    }
    for (const char* no : {"false", "", "0", "okay"}) {
        EXPECT_EQ(CheckIsSuccess(std::string("[{\"isSuccess\":\"") + no + "\"}]"), -1) << no;
    }
    EXPECT_EQ(CheckIsSuccess("[{\"isSuccess\":1}]"), -3);
    EXPECT_EQ(CheckIsSuccess("[{\"isSuccess\":true}]"), -3);
    EXPECT_EQ(CheckIsSuccess("[]"), -3);
    EXPECT_EQ(CheckIsSuccess("null"), -3);
    EXPECT_EQ(CheckIsSuccess("{\"isSuccess\":\"true\"}"), -2);
    EXPECT_EQ(CheckIsSuccess(""), -1);
    EXPECT_EQ(CheckIsSuccess("[{\"isSuccess\":\"true\""), -1);
}

TEST(DownloaderLessons, NumberRulesAndFreshRecords) {
    const std::string body = R"([{"isSuccess":"true","lessonList":[
        {"lessonUid":"L1","lessonName":"安全","lessonDownRate":50,"lessonStatus":1,
         "size":"  1234","courseList":[{"courseHash":"h1","courseName":"c1",
         "courseDownRate":12.5,"size":"99"},{"courseHash":"h2","size":7}]},
        {"lessonUid":"L2","lessonDownRate":50.0,"lessonStatus":"4","size":"abc"}]}])";
    std::vector<LessonInfo> lessons(1);  // appended to, not replaced
    ASSERT_EQ(ParseLessonList(body, lessons), 0);
    ASSERT_EQ(lessons.size(), 3u);
    const LessonInfo& first = lessons[1];
    EXPECT_EQ(first.lessonName, u"安全");
    EXPECT_EQ(first.lessonDownRate, 0.0);  // an integer literal is not a rate
    EXPECT_EQ(first.lessonStatus, csDown);
    EXPECT_EQ(first.size, 1234);
    ASSERT_EQ(first.courses.size(), 2u);
    EXPECT_EQ(first.courses[0].courseDownRate, 12.5);
    EXPECT_EQ(first.courses[0].size, 99);
    EXPECT_EQ(first.courses[1].size, 0);  // a numeric size is ignored
    const LessonInfo& second = lessons[2];
    EXPECT_EQ(second.lessonUid, u"L2");
    EXPECT_TRUE(second.lessonName.empty());
    EXPECT_TRUE(second.courses.empty());
    EXPECT_EQ(second.lessonDownRate, 50.0);
    EXPECT_EQ(second.lessonStatus, 0);  // a string status is not taken
    EXPECT_EQ(second.size, 0);
}

TEST(DownloaderLessons, FailuresAndEmptyLists) {
    std::vector<LessonInfo> lessons;
    EXPECT_EQ(ParseLessonList("[{\"isSuccess\":\"false\",\"lessonList\":[{}]}]", lessons), -1);
    EXPECT_EQ(ParseLessonList("{\"isSuccess\":\"true\"}", lessons), -1);
    EXPECT_EQ(ParseLessonList("[{\"isSuccess\":\"true\",\"lessonList\":\"x\"}]", lessons), 0);
    EXPECT_TRUE(lessons.empty());
}

TEST(DownloaderSql, SeparatorFormat) {
    const std::string sep = "#SEP#sep#SEP";
    ExecSqlResult result;
    ASSERT_EQ(ParseSqlResult(sep + "0" + sep + "ok" + sep + "2" + sep + "2" + sep + "a" + sep +
                                 "b" + sep + "" + sep + "d'\n" + sep,
                             result),
              0);
    EXPECT_EQ(result.retCode, 0);
    EXPECT_EQ(result.message, "ok");
    EXPECT_EQ(result.rowCount, 2);
    EXPECT_EQ(result.columnCount, 2);
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[1][0], "");
    EXPECT_EQ(result.rows[1][1], "d'\n");

    EXPECT_EQ(ParseSqlResult(sep, result), -1);
    // The last cell without its separator: nothing partial is left behind.
    EXPECT_EQ(ParseSqlResult(sep + "0" + sep + "ok" + sep + "1" + sep + "2" + sep + "a" + sep + "b",
                             result),
              -1);
    EXPECT_EQ(result.rowCount, 0);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_TRUE(result.message.empty());
}

TEST(DownloaderSql, RowsWithoutColumnsAreNotMaterialised) {
    const std::string sep = "............";
    ExecSqlResult result;
    ASSERT_EQ(ParseSqlResult(sep + "0" + sep + sep + "2000000000" + sep + "0" + sep, result), 0);
    EXPECT_EQ(result.rowCount, 2000000000);
    EXPECT_TRUE(result.rows.empty());
}
