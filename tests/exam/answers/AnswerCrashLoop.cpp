#include "tests/exam/answers/AnswerCrashLoop.h"

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "tests/exam/answers/AnswerPeers.h"

namespace {

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

    for (int round = 0; round < rounds; ++round) {
        ClientProcess client(dir);
        if (!client.Start(absentDownloader)) {
            result.failure = "client did not start in round " + std::to_string(round);
            return result;
        }
        if (client.Submit(AnswerBody(web, ExamOf(round))) != kOkAnswer) {
            result.failure = "no ok in round " + std::to_string(round);
            return result;
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
    result.ranAll = true;

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
        return static_cast<int>(received.size()) >= rounds;
    };
    journal.WaitFor(count, deliveryWaitMs);
    client.Stop();
    for (const auto& [exam, times] : received) {
        ++result.delivered;
        result.duplicates += times - 1;
    }
    return result;
}
