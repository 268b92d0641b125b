#pragma once

class CClientWork;
class CHttpRequest;
class CHttpResponse;

// The exam session methods of "/EXAMREQUEST.KIVO".
namespace methods {

int StartExam(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int StopExam(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int CheckExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int ClearExamStatus(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int CameraControl(CHttpResponse& response, CHttpRequest& request, CClientWork* work);

}  // namespace methods
