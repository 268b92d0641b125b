// PlatformStandin: the platform's web server, its update server and any
// number of boxes in one process, each on a port of its own. See kUsage.

#include <cstdio>
#include <filesystem>
#include <list>
#include <memory>

#include "tools/platform/BoxRoutes.h"
#include "tools/platform/Installer.h"
#include "tools/platform/ReceivedFiles.h"
#include "tools/platform/UpdateRoutes.h"
#include "tools/platform/WebRoutes.h"
#include "tools/standin/CommandLine.h"
#include "tools/standin/FaultInjector.h"
#include "tools/standin/Journal.h"
#include "tools/standin/RequestParams.h"
#include "tools/standin/Shutdown.h"
#include "tools/standin/StandinServer.h"
#include "tools/standin/StandinSetup.h"

namespace {

constexpr int kDefaultWebPort = 18080;
constexpr int kDefaultUpdatePort = 18081;
constexpr int kDefaultBoxPort = 18090;
constexpr const char* kHost = "127.0.0.1";
constexpr const char* kDefaultChannel = "http://127.0.0.1:32899";

const char* const kUsage =
    "usage: PlatformStandin [--web PORT] [--update PORT] [--box PORT[=REPLY]]... [--no-box]\n"
    "                       [--data DIR] [--fixtures DIR] [--channel URL] [--journal FILE]\n"
    "                       [--installer-version V] [--installer-size BYTES]\n"
    "                       [--installer-md5 real|empty|absent] [--installer-mark FILE]\n"
    "                       [--fail RULE]...\n"
    "  --web       platform web server port (18080); 0 picks a free port (announced on stdout)\n"
    "  --update    update server port (18081)\n"
    "  --box       a box on PORT answering isSuccess REPLY (true); repeat for more (18090)\n"
    "  --no-box    no box at all (the box list is then empty)\n"
    "  --data      received answers, snapshots, documents and the journal\n"
    "              (~/.local/share/qorvane-standins/platform)\n"
    "  --fixtures  pages (www/) and documents (documents/) (the source tree's fixtures)\n"
    "  --channel   the client's channel as the pages call it (http://127.0.0.1:32899)\n"
    "  --journal   JSON lines of every request (<data>/journal.jsonl)\n"
    "  --installer-version (2.3.1.18), --installer-size (1572864), --installer-md5 (real),\n"
    "  --installer-mark: file the installer appends to when run (<data>/installer-ran)\n"
    "  --fail      failure rule, e.g. path=/lms/api/ExamAnswer.ashx,status=500,times=1\n";

struct BoxOption {
    int port;
    std::string reply;
};

bool ParseBox(const std::string& text, BoxOption& box) {
    size_t equals = text.find('=');
    long long port = 0;
    if (!ParseInt(text.substr(0, equals), port) || port < 0 || port > 65535) {
        return false;
    }
    box.port = static_cast<int>(port);
    box.reply = equals == std::string::npos ? "true" : text.substr(equals + 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine args(argc, argv, {"no-box"});
    if (args.Has("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    auto unknown = args.Unknown({"web", "update", "box", "no-box", "data", "fixtures", "channel",
                                 "journal", "installer-version", "installer-size", "installer-md5",
                                 "installer-mark", "fail"});
    if (!unknown.empty()) {
        std::fprintf(stderr, "unknown argument %s\n%s", unknown[0].c_str(), kUsage);
        return 2;
    }
    const std::string data = args.Value("data", DefaultDataDir("platform"));
    const std::string fixtures = args.Value("fixtures", PLATFORM_FIXTURES);
    std::vector<BoxOption> boxes;
    for (const std::string& text : args.Values("box")) {
        BoxOption box;
        if (!ParseBox(text, box)) {
            std::fprintf(stderr, "bad --box %s\n", text.c_str());
            return 2;
        }
        boxes.push_back(box);
    }
    if (boxes.empty() && !args.Has("no-box")) {
        boxes.push_back({kDefaultBoxPort, "true"});
    }
    const std::string md5 = args.Value("installer-md5", "real");
    if (md5 != "real" && md5 != "empty" && md5 != "absent") {
        std::fprintf(stderr, "--installer-md5 takes real, empty or absent\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", data.c_str(), error.message().c_str());
        return 1;
    }
    Installer installer;
    if (!installer.Build(args.Value("installer-version", Installer::kDefaultVersion),
                         args.Int64Value("installer-size", Installer::kDefaultSize),
                         args.Value("installer-mark", data + "/installer-ran"),
                         md5 == "real"    ? Installer::Digest::Real
                         : md5 == "empty" ? Installer::Digest::Empty
                                          : Installer::Digest::Absent)) {
        std::fprintf(stderr, "--installer-size must lie between %lld and %lld\n",
                     static_cast<long long>(Installer::kMinSize),
                     static_cast<long long>(Installer::kMaxSize));
        return 2;
    }

    Shutdown::Block();
    Shutdown shutdown;
    Journal journal;
    FaultInjector faults;
    if (int status = OpenJournalAndFaults(args, data, journal, faults); status != 0) {
        return status;
    }
    ReceivedFiles files(data);

    // Bind everything first: the box list and the pages need the real ports.
    std::list<std::unique_ptr<StandinServer>> servers;
    auto bind = [&](const std::string& role, int port) -> StandinServer* {
        auto server = std::make_unique<StandinServer>(role, journal, faults);
        if (!server->Bind(kHost, port)) {
            std::fprintf(stderr, "cannot listen on %s:%d for the %s\n", kHost, port, role.c_str());
            return nullptr;
        }
        servers.push_back(std::move(server));
        return servers.back().get();
    };
    StandinServer* web = bind("web", args.IntValue("web", kDefaultWebPort));
    StandinServer* update =
        web ? bind("update", args.IntValue("update", kDefaultUpdatePort)) : nullptr;
    if (web == nullptr || update == nullptr) {
        return 1;
    }
    WebSettings settings;
    settings.wwwDir = fixtures + "/www";
    settings.documentsDir = fixtures + "/documents";
    settings.channelUrl = args.Value("channel", kDefaultChannel);
    settings.updateUrl = "http://127.0.0.1:" + std::to_string(update->Port());
    for (const BoxOption& option : boxes) {
        StandinServer* box = bind("box", option.port);
        if (box == nullptr) {
            return 1;
        }
        AddBoxRoutes(*box, option.reply, files);
        settings.boxUrls.push_back("http://127.0.0.1:" + std::to_string(box->Port()));
    }
    AddWebRoutes(*web, settings, files);
    AddUpdateRoutes(*update, installer);

    std::vector<const StandinServer*> announced;
    for (auto& server : servers) {
        server->Start();
        announced.push_back(server.get());
    }
    AnnounceReady(announced);
    shutdown.Wait();
    faults.Cancel();
    for (auto& server : servers) {
        server->Stop();
    }
    return 0;
}
