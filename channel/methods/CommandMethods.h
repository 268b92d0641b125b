#pragma once

class CClientWork;
class CHttpRequest;
class CHttpResponse;

// The command family of "/COMMANDREQUEST.KIVO".
namespace methods {

int ExitProcess(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int SetTrustDomains(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int FileCache(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int CheckUpdate(CHttpResponse& response, CHttpRequest& request, CClientWork* work);
int GetWindowsUser(CHttpResponse& response, CHttpRequest& request, CClientWork* work);

}  // namespace methods
