// The answer store's local outbox and the statements it sends the downloader.

#include <gtest/gtest.h>

#include "exam/answers/AnswerStatements.h"
#include "storage/AnswerOutbox.h"
#include "tests/support/TempDir.h"

namespace {

PendingAnswer Answer(const std::string& exam, uint64_t version, const std::string& text) {
    PendingAnswer answer;
    answer.userUid = "learner-1";
    answer.examUid = exam;
    answer.answer = text;
    answer.url = "http://server";
    answer.path = "/lms/api/ExamAnswer.ashx";
    answer.lastTime = 1700000000 + static_cast<int64_t>(version);
    answer.version = version;
    return answer;
}

TEST(AnswerStatementsTest, QuotesInsideValuesAreDoubled) {
    PendingAnswer answer = Answer("e'1", 1, "it's [{\"a\":\"b\\\\c\"}]");
    answer.userUid = "o'neil";
    EXPECT_EQ(AnswerStatements::Store(answer),
              "replace into examAnswer(userId,examId,answer,url,lastTime,status) values("
              "'o''neil','e''1','it''s [{\"a\":\"b\\\\c\"}]','http://server','1700000001','0')");
    EXPECT_EQ(AnswerStatements::Delivered(answer, 42),
              "update examAnswer set status='1',lastTime='42' where userId='o''neil' and "
              "examId='e''1' ");
    EXPECT_EQ(AnswerStatements::ReadBack("o'neil"),
              "select * from examAnswer where userId='o''neil' and status='0' ");
}

TEST(AnswerOutboxTest, KeepsTheLatestVersionAcrossReopenAndRetiresOnlyThatOne) {
    TempDir dir;
    const std::string binary("a\0b\n第二行'", 14);
    {
        AnswerOutbox outbox;
        ASSERT_TRUE(outbox.Open(dir.file("Qorvane.db"))) << outbox.Error();
        ASSERT_TRUE(outbox.Put(Answer("exam-1", 1, "old")));
        ASSERT_TRUE(outbox.Put(Answer("exam-2", 2, binary)));
        ASSERT_TRUE(outbox.Put(Answer("exam-1", 3, "new")));
        // A delivery of the old text does not retire the new one.
        ASSERT_TRUE(outbox.Retire(Answer("exam-1", 1, "old")));
    }
    AnswerOutbox outbox;
    ASSERT_TRUE(outbox.Open(dir.file("Qorvane.db")));
    std::vector<PendingAnswer> pending = outbox.Load();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].examUid, "exam-2");
    EXPECT_EQ(pending[0].answer, binary);
    EXPECT_EQ(pending[1].answer, "new");
    EXPECT_EQ(outbox.LastVersion(), 3u);

    ASSERT_TRUE(outbox.Retire(pending[1]));
    EXPECT_EQ(outbox.Load().size(), 1u);
    // The route outlives the answer: a stale downloader row finds its path
    // and learns it was delivered.
    std::string path;
    int64_t delivered = 0;
    ASSERT_TRUE(outbox.Lookup("learner-1", "exam-1", path, delivered));
    EXPECT_EQ(path, "/lms/api/ExamAnswer.ashx");
    EXPECT_EQ(delivered, pending[1].lastTime);
    ASSERT_TRUE(outbox.Lookup("learner-1", "exam-9", path, delivered));
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(delivered, 0);
}

TEST(AnswerOutboxTest, AFolderThatCannotHoldTheFileFailsToOpen) {
    AnswerOutbox outbox;
    EXPECT_FALSE(outbox.Open("/nonexistent/folder/Qorvane.db"));
    EXPECT_FALSE(outbox.Put(Answer("exam-1", 1, "x")));
    EXPECT_TRUE(outbox.Load().empty());
}

}  // namespace
