#pragma once

// Installs the channel's "SubmitExamAnswers" handler, which hands the request
// body to the answer store.
void RegisterAnswerHandlers();

// The message of the failure answer when an answer could be stored nowhere.
constexpr const char* kMsgAnswerNotStored = "answer not stored";
