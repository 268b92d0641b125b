#include "tools/downloader/DownloaderRoutes.h"

#include "tools/downloader/RegistryRoutes.h"
#include "tools/downloader/SqlAnswer.h"
#include "tools/standin/JsonText.h"
#include "tools/standin/RequestParams.h"

namespace {

constexpr const char* kPaperPrefix = "/KIVOEXAMPAPER/";

void ExecSql(LessonDatabase& database, const httplib::Request& request,
             httplib::Response& response) {
    const std::string sql = ParamOf(request, "Sql");
    SqlTable table;
    int retn = 0;
    if (sql.empty()) {
        retn = -1;
        table.retCode = -1;
        table.message = "no statement";
    } else {
        table = database.Exec(sql);
    }
    response.set_content(SqlAnswer::Build(retn, table), "text/xml; charset=utf-8");
}

}  // namespace

void AddDownloaderRoutes(StandinServer& server, LessonDatabase& database,
                         CourseManagerRoutes& courses, ExamRoutes& exams,
                         const std::string& paperDir, std::function<void()> exitRequested) {
    // Paper files: a mount point checks the path stays inside the folder and
    // answers Range requests.
    server.Http().set_mount_point("/kivoexampaper", paperDir);

    auto dispatch = [&database, &courses, &exams, exitRequested](const httplib::Request& request,
                                                                 httplib::Response& response) {
        const std::string path = CanonicalPath(request.path);
        if (path == "/COURSEMANAGERREQUEST.KIVO") {
            courses.Handle(request, response);
        } else if (path == "/EXECSQL.KIVO") {
            ExecSql(database, request, response);
        } else if (path == "/EXAMREQUEST.KIVO") {
            exams.Handle(request, response);
        } else if (path == "/SET_CUSTOM_PROXY_INFO.KIVO") {
            SetCustomProxyInfo(request, response);
        } else if (path == "/MODI_DATA_PATH.KIVO") {
            ModifyDataPath(request, response);
        } else if (path == "/COMMANDREQUEST.KIVO" &&
                   ParamOf(request, "MethodName") == "ExitProcess") {
            std::string callback = ParamOf(request, "CallbackFunc");
            response.set_content((callback.empty() ? "callback" : callback) +
                                     "([{\"errorCode\":\"0\",\"errorMsg\":\"ok\","
                                     "\"isSuccess\":\"true\"}])",
                                 "text/plain");
            // The server finishes this answer before it stops.
            exitRequested();
        } else if (path.rfind(kPaperPrefix, 0) == 0) {
            response.status = 404;  // the mount point did not have it
            response.set_content("no such paper file\n", "text/plain");
        } else {
            response.status = 404;
            response.set_content("unknown request\n", "text/plain");
        }
    };
    server.Get(".*", dispatch);
    server.Post(".*", dispatch);
}
