#pragma once

class CClientWork;
class CHttpRequest;
class CHttpResponse;

// The course family of "/COURSEMANAGERREQUEST.KIVO".
namespace methods {

int StartViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int CheckViewCourse(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int StartLearning(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int StopLearning(CHttpResponse& response, CHttpRequest& request, CClientWork* work);

}  // namespace methods
