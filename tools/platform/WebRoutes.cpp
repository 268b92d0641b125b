#include "tools/platform/WebRoutes.h"

#include <filesystem>

#include "tools/standin/JsonText.h"
#include "tools/standin/RequestParams.h"

namespace {

constexpr const char* kAnswerFolder = "answers";
constexpr const char* kSnapshotFolder = "snapshots";
constexpr const char* kFileServiceFolder = "fileservice";

void JsonAnswer(httplib::Response& response, const Json::Value& value, int status = 200) {
    response.status = status;
    response.set_content(WriteJson(value), "application/json; charset=utf-8");
}

Json::Value Outcome(bool success, const std::string& message) {
    Json::Value item(Json::objectValue);
    item["isSuccess"] = success ? "true" : "false";
    item["errorMsg"] = message;
    return item;
}

std::string ContentTypeOf(const std::string& name) {
    const std::string ext = std::filesystem::path(name).extension().string();
    if (ext == ".docx") {
        return "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    }
    if (ext == ".xlsx") {
        return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    }
    if (ext == ".pptx") {
        return "application/vnd.openxmlformats-officedocument.presentationml.presentation";
    }
    if (ext == ".txt") {
        return "text/plain; charset=utf-8";
    }
    return "application/octet-stream";
}

// Sends a file (the server answers Range requests on set_content bodies).
bool SendFile(httplib::Response& response, const std::string& path, const std::string& name) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        return false;
    }
    response.set_content(bytes, ContentTypeOf(name).c_str());
    return true;
}

void NotFound(httplib::Response& response, const std::string& what) {
    response.status = 404;
    response.set_content("not found: " + what + "\n", "text/plain");
}

bool IsJpeg(const std::string& bytes) {
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8;
}

}  // namespace

void AddWebRoutes(StandinServer& server, const WebSettings& settings, ReceivedFiles& files) {
    server.Http().set_mount_point("/", settings.wwwDir);

    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/portal.html");
    });

    server.Get("/standin-config.js",
               [settings](const httplib::Request& request, httplib::Response& response) {
                   Json::Value config(Json::objectValue);
                   config["channel"] = settings.channelUrl;
                   config["update"] = settings.updateUrl;
                   config["web"] = "http://" + request.get_header_value("Host");
                   Json::Value boxes(Json::arrayValue);
                   for (const std::string& box : settings.boxUrls) {
                       boxes.append(box);
                   }
                   config["boxes"] = boxes;
                   response.set_content("var STANDIN = " + WriteJson(config) + ";\n",
                                        "application/javascript; charset=utf-8");
               });

    server.Get("/UserPaperPreview.aspx",
               [settings](const httplib::Request&, httplib::Response& response) {
                   std::string page;
                   if (!ReadFileBytes(settings.wwwDir + "/preview.html", page)) {
                       NotFound(response, "preview page");
                       return;
                   }
                   response.set_content(page, "text/html; charset=utf-8");
               });

    // The pages report what their script functions received; the journal keeps it.
    server.Get("/demo/event",
               [](const httplib::Request&, httplib::Response& response) { response.status = 204; });

    server.Post("/lms/api/HanderReceiveImgInfo.ashx", [&files](const httplib::Request& request,
                                                               httplib::Response& response) {
        if (!request.is_multipart_form_data() || !request.has_file("examUid") ||
            !request.has_file("userUid") || !request.has_file("image")) {
            JsonAnswer(response, Outcome(false, "examUid, userUid and image are required"), 400);
            return;
        }
        const std::string image = request.get_file_value("image").content;
        if (!IsJpeg(image)) {
            JsonAnswer(response, Outcome(false, "image is not a JPEG"), 415);
            return;
        }
        const std::string exam = request.get_file_value("examUid").content;
        const std::string user = request.get_file_value("userUid").content;
        std::string name = exam + "_" + user + ".jpg";
        if (!IsSafeRelativePath(name)) {
            name = "snapshot.jpg";
        }
        if (files.Save(kSnapshotFolder, name, image).empty()) {
            JsonAnswer(response, Outcome(false, "cannot store"), 500);
            return;
        }
        JsonAnswer(response, Outcome(true, "ok"));
    });

    server.Get("/lms/api/ValidCode.aspx",
               [settings](const httplib::Request& request, httplib::Response& response) {
                   Json::Value root(Json::arrayValue);
                   if (ParamOf(request, "methodName") != "GetBoxList") {
                       root.append(Outcome(false, "unknown methodName"));
                       JsonAnswer(response, root);
                       return;
                   }
                   Json::Value item = Outcome(true, "ok");
                   Json::Value list(Json::arrayValue);
                   int number = 0;
                   for (const std::string& url : settings.boxUrls) {
                       Json::Value box(Json::objectValue);
                       box["boxUrl"] = url;
                       box["boxName"] = "box-" + std::to_string(++number);
                       list.append(box);
                   }
                   item["boxList"] = list;
                   root.append(item);
                   JsonAnswer(response, root);
               });

    server.Post("/lms/api/ExamAnswer.ashx",
                [&files](const httplib::Request& request, httplib::Response& response) {
                    Json::Value answer;
                    if (!ReadJson(request.body, answer)) {
                        JsonAnswer(response, Outcome(false, "the answer is not JSON"), 400);
                        return;
                    }
                    if (files.Save(kAnswerFolder, "answer.json", request.body).empty()) {
                        JsonAnswer(response, Outcome(false, "cannot store"), 500);
                        return;
                    }
                    JsonAnswer(response, Outcome(true, "ok"));
                });

    auto fileService = [settings, &files](const httplib::Request& request,
                                          httplib::Response& response) {
        const std::string relative = ParamOf(request, "file");
        if (!IsSafeRelativePath(relative)) {
            response.status = 400;
            response.set_content("bad file name\n", "text/plain");
            return;
        }
        if (request.method != "GET") {
            if (!files.Put(kFileServiceFolder, relative, request.body)) {
                JsonAnswer(response, Outcome(false, "cannot store"), 500);
                return;
            }
            JsonAnswer(response, Outcome(true, "ok"));
            return;
        }
        // A stored answer wins; before the first upload the question's
        // template (or the blank document of that kind) stands in for it.
        if (SendFile(response, files.PathOf(kFileServiceFolder, relative), relative)) {
            return;
        }
        std::string templateName = ParamOf(request, "template");
        if (templateName.empty()) {
            templateName = "blank" + std::filesystem::path(relative).extension().string();
        }
        if (!IsSafeRelativePath(templateName) ||
            !SendFile(response, settings.documentsDir + "/" + templateName, templateName)) {
            NotFound(response, relative);
        }
    };
    server.Get("/fileservice/download", fileService);
    server.Post("/fileservice/download", fileService);
    server.Put("/fileservice/download", fileService);

    server.Get(R"(/course/(.+))",
               [settings](const httplib::Request& request, httplib::Response& response) {
                   const std::string name = request.matches[1];
                   if (!IsSafeRelativePath(name) ||
                       !SendFile(response, settings.documentsDir + "/" + name, name)) {
                       NotFound(response, name);
                   }
               });

    server.Get(R"(/download/(.+))", [settings](const httplib::Request& request,
                                               httplib::Response& response) {
        const std::string name = request.matches[1];
        if (!IsSafeRelativePath(name) ||
            !SendFile(response, settings.documentsDir + "/" + name, name)) {
            NotFound(response, name);
            return;
        }
        response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
    });

    // Anything else with a body is journaled and refused, so a test sees it.
    server.Post(".*", [](const httplib::Request& request, httplib::Response& response) {
        NotFound(response, request.path);
    });
}
