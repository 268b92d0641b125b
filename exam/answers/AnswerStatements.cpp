#include "exam/answers/AnswerStatements.h"

#include "foundation/TextUtil.h"

namespace AnswerStatements {

std::string Quoted(const std::string& value) {
    std::string text = value;
    ReplaceAll(text, "'", "''");
    return text;
}

std::string ReadBack(const std::string& userUid) {
    return "select * from examAnswer where userId='" + Quoted(userUid) + "' and status='0' ";
}

std::string Store(const PendingAnswer& answer) {
    return "replace into examAnswer(userId,examId,answer,url,lastTime,status) values('" +
           Quoted(answer.userUid) + "','" + Quoted(answer.examUid) + "','" +
           Quoted(answer.answer) + "','" + Quoted(answer.url) + "','" + std::to_string(answer.lastTime) +
           "','0')";
}

std::string Delivered(const PendingAnswer& answer, int64_t now) {
    return "update examAnswer set status='1',lastTime='" + std::to_string(now) +
           "' where userId='" + Quoted(answer.userUid) + "' and examId='" +
           Quoted(answer.examUid) + "' ";
}

}  // namespace AnswerStatements
