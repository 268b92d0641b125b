// Stands in for the client ("QorvanePlatform") and the course downloader
// ("QorvaneService") beside the service under test: it answers the exit
// request on the port the service uses for its name and exits. Every start,
// exit request and exit is appended to "journal.txt" beside it.
// STANDIN_SILENT=<name> keeps the program of that name from listening.
#include <httplib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_journal;
std::string g_name;

void Journal(const std::string& event, const std::string& detail = "") {
    FILE* out = std::fopen(g_journal.c_str(), "a");
    if (out) {
        std::fprintf(out, "%s %s %d %s\n", event.c_str(), g_name.c_str(),
                     static_cast<int>(getpid()), detail.c_str());
        std::fclose(out);
    }
}

int PortFor(const std::string& name) {
    const char* variable =
        name == "QorvanePlatform" ? "QORVANE_CHANNEL_PORT" : "QORVANE_DOWNLOADER_PORT";
    const char* text = std::getenv(variable);
    return text ? std::atoi(text) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = argv[0];
    size_t slash = path.rfind('/');
    g_name = slash == std::string::npos ? path : path.substr(slash + 1);
    g_journal =
        (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/journal.txt";
    auto variable = [](const char* name) {
        const char* text = std::getenv(name);
        return std::string(text ? text : "-");
    };
    char cwd[4096] = "?";
    [[maybe_unused]] char* known = getcwd(cwd, sizeof(cwd));
    Journal("start", "uid=" + std::to_string(getuid()) + " display=" + variable("DISPLAY") +
                         " args=" + std::to_string(argc - 1) + " mark=" + variable("STANDIN_MARK") +
                         " listen=" + variable("LISTEN_FDS") + " home=" + variable("HOME") +
                         " cwd=" + cwd);

    const char* silent = std::getenv("STANDIN_SILENT");
    if (silent && g_name == silent) {
        for (;;) {
            pause();
        }
    }
    httplib::Server server;
    server.Get("/COMMANDREQUEST.KIVO",
               [&](const httplib::Request& request, httplib::Response& response) {
                   if (request.get_param_value("MethodName") == "ExitProcess") {
                       Journal("exit-request");
                       response.set_content("{\"code\":0}", "application/json");
                       server.stop();
                   } else {
                       response.status = 404;
                   }
               });
    const int port = PortFor(g_name);
    if (port <= 0 || !server.listen("127.0.0.1", port)) {
        Journal("no-port");
        return 2;
    }
    Journal("exit");
    return 0;
}
