#include "tools/platform/BoxRoutes.h"

#include "tools/standin/JsonText.h"
#include "tools/standin/RequestParams.h"

void AddBoxRoutes(StandinServer& server, const std::string& reply, ReceivedFiles& files) {
    auto answer = [](httplib::Response& response, const std::string& success,
                     const std::string& message) {
        Json::Value item(Json::objectValue);
        item["isSuccess"] = success;
        item["errorMsg"] = message;
        Json::Value root(Json::arrayValue);
        root.append(item);
        response.set_content(WriteJson(root), "application/json; charset=utf-8");
    };
    const std::string folder = "box-" + std::to_string(server.Port());
    server.Post("/a.tundrelcgi", [reply, folder, &files, answer](const httplib::Request& request,
                                                                 httplib::Response& response) {
        if (ParamOf(request, "cmd") != "submmit_exam_answer") {
            answer(response, "false", "unknown cmd");
            return;
        }
        if (request.body.empty() || files.Save(folder, "answer.json", request.body).empty()) {
            answer(response, "false", "nothing stored");
            return;
        }
        answer(response, reply, "ok");
    });
    // Anything else with a body is journaled and refused, so a test sees it.
    server.Post(".*", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("unknown request\n", "text/plain");
    });
}
