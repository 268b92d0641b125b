#include "exam/answers/AnswerStatements.h"

#include "foundation/TextUtil.h"

namespace AnswerStatements {

std::string ReadBack(const std::string& userUid) {
    return "select * from examAnswer where userId='" + SqlQuoted(userUid) + "' and status='0' ";
}

std::string Store(const PendingAnswer& answer) {
    return "replace into examAnswer(userId,examId,answer,url,lastTime,status) values('" +
           SqlQuoted(answer.userUid) + "','" + SqlQuoted(answer.examUid) + "','" +
           SqlQuoted(answer.answer) + "','" + SqlQuoted(answer.url) + "','" +
           std::to_string(answer.lastTime) + "','0')";
}

std::string Delivered(const PendingAnswer& answer, int64_t now) {
    return "update examAnswer set status='1',lastTime='" + std::to_string(now) +
           "' where userId='" + SqlQuoted(answer.userUid) + "' and examId='" +
           SqlQuoted(answer.examUid) + "' ";
}

}  // namespace AnswerStatements
