#pragma once

#include <string>

#include "storage/PendingAnswer.h"

// The statements the answer store runs in the downloader's database. Values
// sit between single quotes (SqlQuoted).
namespace AnswerStatements {

constexpr const char* kCreateTable =
    "create table if not exists examAnswer(userId varchar,examId varchar,answer varchar,"
    "url varchar,lastTime BIGINT,status int, primary key(userId,examId) )";
constexpr int kReadBackColumns = 6;

std::string ReadBack(const std::string& userUid);
// Stamped with the answer's own time of submission.
std::string Store(const PendingAnswer& answer);
std::string Delivered(const PendingAnswer& answer, int64_t now);

}  // namespace AnswerStatements
