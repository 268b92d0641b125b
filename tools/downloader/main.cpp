// QorvaneService stand-in: the course downloader as the client and the session
// service see it. See usage text below for the options.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tools/downloader/CourseManagerRoutes.h"
#include "tools/downloader/DownloadSimulator.h"
#include "tools/downloader/DownloaderRoutes.h"
#include "tools/downloader/ExamRoutes.h"
#include "tools/downloader/LessonDatabase.h"
#include "tools/downloader/PaperReporter.h"
#include "tools/standin/CommandLine.h"
#include "tools/standin/FaultInjector.h"
#include "tools/standin/Journal.h"
#include "tools/standin/RequestParams.h"
#include "tools/standin/Shutdown.h"
#include "tools/standin/StandinServer.h"
#include "tools/standin/StandinSetup.h"

namespace {

constexpr int kDefaultPort = 32889;
constexpr const char* kHost = "127.0.0.1";
constexpr const char* kDefaultChannel = "http://127.0.0.1:32899";

const char* const kUsage =
    "usage: QorvaneService [-commandline] [--port N] [--data DIR] [--fixtures DIR]\n"
    "                      [--papers DIR] [--user UID] [--rate BYTES_PER_S] [--tick MS]\n"
    "                      [--journal FILE] [--fail RULE]... [--report-channel URL|none]\n"
    "                      [--paper-outcome ok|accel-fails|fail] [--paper-delay MS]\n"
    "  --port      port on 127.0.0.1 (32889; 0 picks a free one, announced on stdout)\n"
    "  --data      database, handed-in files and journal (~/.local/share/qorvane-standins/"
    "downloader)\n"
    "  --fixtures  seed data: seed.sql and papers/ (the source tree's fixtures)\n"
    "  --papers    folder served under /kivoexampaper/ (<fixtures>/papers)\n"
    "  --user      the current user reported by GetCurServerInfo (kept in the database)\n"
    "  --rate      simulated download speed (2097152); --tick: progress step in ms (250)\n"
    "  --journal   JSON lines of every request (<data>/journal.jsonl)\n"
    "  --fail      failure rule, e.g. path=/EXECSQL.KIVO,delay=3000,times=1\n"
    "  --report-channel  where RestartExam reports the paper status (http://127.0.0.1:32899)\n"
    "  --paper-outcome   how the refetch ends (ok); --paper-delay: how long it takes (1000)\n";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine args(argc, argv, {"commandline"});
    if (args.Has("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    auto unknown =
        args.Unknown({"commandline", "port", "data", "fixtures", "papers", "user", "rate", "tick",
                      "journal", "fail", "report-channel", "paper-outcome", "paper-delay"});
    if (!unknown.empty()) {
        std::fprintf(stderr, "unknown argument %s\n%s", unknown[0].c_str(), kUsage);
        return 2;
    }
    const int port = args.IntValue("port", kDefaultPort);
    const std::string data = args.Value("data", DefaultDataDir("downloader"));
    const std::string fixtures = args.Value("fixtures", DOWNLOADER_FIXTURES);
    const std::string papers = args.Value("papers", fixtures + "/papers");
    const long long rate = args.Int64Value("rate", DownloadSimulator::kDefaultBytesPerSecond);
    const int tick = args.IntValue("tick", DownloadSimulator::kDefaultTickMs);
    if (rate <= 0 || tick <= 0) {
        std::fprintf(stderr, "--rate and --tick must be positive\n");
        return 2;
    }
    const std::string reportChannel = args.Value("report-channel", kDefaultChannel);
    const int paperDelay = args.IntValue("paper-delay", PaperReporter::kDefaultDelayMs);
    PaperReporter::Outcome outcome;
    if (!PaperReporter::ParseOutcome(args.Value("paper-outcome", "ok"), outcome) ||
        paperDelay < 0) {
        std::fprintf(stderr, "--paper-outcome takes ok, accel-fails or fail; --paper-delay >= 0\n");
        return 2;
    }

    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", data.c_str(), error.message().c_str());
        return 1;
    }
    Shutdown::Block();
    Shutdown shutdown;

    Journal journal;
    FaultInjector faults;
    if (int status = OpenJournalAndFaults(args, data, journal, faults); status != 0) {
        return status;
    }
    LessonDatabase database;
    if (!database.Open(data + "/downloader.db", ReadText(fixtures + "/seed.sql"))) {
        std::fprintf(stderr, "database: %s\n", database.Error().c_str());
        return 1;
    }
    if (args.Has("user")) {
        database.SetCurrentUser(args.Value("user"));
    }

    DownloadSimulator simulator(database, rate, tick);
    CourseManagerRoutes courses(database, simulator);
    std::unique_ptr<PaperReporter> reporter;
    if (reportChannel != "none") {
        reporter = std::make_unique<PaperReporter>(reportChannel, outcome, paperDelay, journal);
    }
    ExamRoutes exams(database, journal, data + "/submitted", reporter.get());
    StandinServer server("downloader", journal, faults);
    AddDownloaderRoutes(server, database, courses, exams, papers,
                        [&shutdown] { shutdown.Request(); });
    if (!server.Bind(kHost, port)) {
        std::fprintf(stderr, "cannot listen on %s:%d\n", kHost, port);
        return 1;
    }
    server.Start();
    AnnounceReady({&server});
    shutdown.Wait();
    faults.Cancel();
    server.Stop();
    return 0;
}
