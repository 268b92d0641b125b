#include "channel/methods/ChannelMethods.h"

#include "channel/Dispatch.h"
#include "channel/methods/CommandMethods.h"
#include "channel/methods/CourseMethods.h"
#include "channel/methods/ExamQuestionMethods.h"
#include "channel/methods/ExamSessionMethods.h"

namespace {

struct ChannelMethod {
    const char* name;
    ChannelHandler handler;
};

// Every method the pages call, by family.
const ChannelMethod kChannelMethods[] = {
    {"ExitProcess", &methods::ExitProcess},
    {"SetTrustDomains", &methods::SetTrustDomains},
    {"FileCache", &methods::FileCache},
    {"CheckUpdate", &methods::CheckUpdate},
    {"GetWindowsUser", &methods::GetWindowsUser},

    {"StartExam", &methods::StartExam},
    {"StopExam", &methods::StopExam},
    {"CheckExamStatus", &methods::CheckExamStatus},
    {"ClearExamStatus", &methods::ClearExamStatus},
    {"CameraControl", &methods::CameraControl},

    {"UpdatePaperDownloadStatus", &methods::UpdatePaperDownloadStatus},
    {"StartExamQuestion", &methods::StartExamQuestion},
    {"LookExamQuestion", &methods::LookExamQuestion},
    {"SubmitExamAnswers", &methods::SubmitExamAnswers},

    {"StartViewCourse", &methods::StartViewCourse},
    {"CheckViewCourse", &methods::CheckViewCourse},
    {"StartLearning", &methods::StartLearning},
    {"StopLearning", &methods::StopLearning},
};

}  // namespace

std::vector<std::string> RegisterChannelMethods() {
    std::vector<std::string> faults;
    for (const ChannelMethod& method : kChannelMethods) {
        if (!SetChannelHandler(method.name, method.handler)) {
            faults.push_back(std::string("no route for ") + method.name);
        }
    }
    for (const ChannelRoute& route : kChannelRoutes) {
        if (!HasChannelHandler(route.method)) {
            faults.push_back(std::string("no handler for ") + route.method);
        }
    }
    return faults;
}
