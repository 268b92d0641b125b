#pragma once

#include <array>
#include <functional>
#include <string>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

class CClientWork;

// A method handler fills the answer; its result is only for logs and tests.
// The work item lets a handler answer early (see CClientWork::SendAndClose).
using ChannelHandler = std::function<int(CHttpResponse&, CHttpRequest&, CClientWork*)>;

struct ChannelRoute {
    const char* path;
    const char* method;
};

constexpr const char* kCommandPath = "/COMMANDREQUEST.KIVO";
constexpr const char* kExamPath = "/EXAMREQUEST.KIVO";
constexpr const char* kCoursePath = "/COURSEMANAGERREQUEST.KIVO";

// Every method the channel knows, each on exactly one path.
constexpr std::array<ChannelRoute, 18> kChannelRoutes{{
    {kCommandPath, "ExitProcess"},
    {kCommandPath, "SetTrustDomains"},
    {kCommandPath, "FileCache"},
    {kCommandPath, "CheckUpdate"},
    {kCommandPath, "GetWindowsUser"},
    {kExamPath, "UpdatePaperDownloadStatus"},
    {kExamPath, "StartExam"},
    {kExamPath, "StopExam"},
    {kExamPath, "StartExamQuestion"},
    {kExamPath, "LookExamQuestion"},
    {kExamPath, "SubmitExamAnswers"},
    {kExamPath, "CheckExamStatus"},
    {kExamPath, "ClearExamStatus"},
    {kExamPath, "CameraControl"},
    {kCoursePath, "StartViewCourse"},
    {kCoursePath, "CheckViewCourse"},
    {kCoursePath, "StartLearning"},
    {kCoursePath, "StopLearning"},
}};

// Installs the handler of one method of the table (by exact name). Handlers
// are installed during start-up, before the channel accepts connections;
// a method without a handler is answered "unknown request".
bool SetChannelHandler(const std::string& method, ChannelHandler handler);
void ClearChannelHandlers();
// Whether the method of the table has a handler installed.
bool HasChannelHandler(const std::string& method);

// Routes by path and MethodName, both compared ignoring case, and fills the
// answer. Returns the handler's result, or -1 for an unknown path or method.
int DispatchRequest(CHttpResponse& response, CClientWork* work, CHttpRequest& request);
