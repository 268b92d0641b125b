#pragma once

class CClientWork;
class CHttpRequest;
class CHttpResponse;

// The question, paper and answer methods of "/EXAMREQUEST.KIVO".
namespace methods {

int UpdatePaperDownloadStatus(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int StartExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int LookExamQuestion(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int SubmitExamAnswers(CHttpResponse& response, CHttpRequest& request, CClientWork* work);

}  // namespace methods

// The failure message of a hand-in that neither the outbox nor the
// downloader took: the page may keep the answer and try again.
constexpr const char* kMsgAnswerNotStored = "answer not stored";
