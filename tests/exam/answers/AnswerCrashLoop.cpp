#include "tests/exam/answers/AnswerCrashLoop.h"

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "tests/exam/answers/AnswerPeers.h"

namespace {

constexpr int kStartAttempts = 3;
constexpr size_t kOutputShown = 2000;

std::string ExamOf(int round) { return "crash-exam-" + std::to_string(round); }

}  // namespace

CrashLoopResult RunCrashLoop(const std::string& folder, int rounds, int maxKillDelayMs,
                             int deliveryWaitMs) {
    CrashLoopResult result;
    TempDir dir;  // the client's data, registry and runtime folders
    const std::string platformJournal = folder + "/platform.jsonl";
    StandinProcess platform;
    if (!platform.Start("PlatformStandin",
                        {"--web", "0", "--update", "0", "--box", "0=true", "--data",
                         folder + "/platform", "--journal", platformJournal, "--channel", "none"})) {
        result.failure = platform.Failure();
        return result;
    }
    const std::string web = platform.Url("web");
    const int absentDownloader = FreeLocalPort();
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> delay(0, maxKillDelayMs);

    bool allRounds = true;
    for (int round = 0; round < rounds && allRounds; ++round) {
        ClientProcess client(dir);
        // A free port can be taken by someone else before the client binds it.
        bool started = false;
        for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
            started = client.Start(absentDownloader);
        }
        if (!started) {
            result.failure = "client did not start in round " + std::to_string(round) + ": " +
                             client.Process().Output().substr(0, kOutputShown);
            allRounds = false;
            break;
        }
        if (client.Submit(AnswerBody(web, ExamOf(round))) != kOkAnswer) {
            result.failure = "no ok in round " + std::to_string(round);
            allRounds = false;
            client.Kill();
            break;
        }
        ++result.accepted;
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        client.Kill();
    }

    StandinProcess downloader;
    if (!downloader.Start("QorvaneService",
                          {"-commandline", "--port", std::to_string(absentDownloader), "--data",
                           folder + "/downloader", "--user", "learner-1", "--report-channel",
                           "none"})) {
        result.failure = downloader.Failure();
        return result;
    }
    ClientProcess client(dir);
    if (!client.Start(absentDownloader)) {
        result.failure = "client did not start after the loop";
        return result;
    }
    result.ranAll = allRounds;

    JournalWatch journal(platformJournal);
    std::map<std::string, int> received;
    auto count = [&](const Json::Value& entry) {
        if (IsPost(entry, kAnswerPath) || IsPost(entry, kBoxPath)) {
            Json::Value body;
            Json::Reader reader;
            if (reader.parse(entry["body"].asString(), body)) {
                ++received[body[0u]["examUid"].asString()];
            }
        }
        return static_cast<int>(received.size()) >= result.accepted;
    };
    journal.WaitFor(count, deliveryWaitMs);
    client.Stop();
    for (const auto& [exam, times] : received) {
        ++result.delivered;
        result.duplicates += times - 1;
    }
    return result;
}
