// Figures of the answer store through the real client and stand-in peers:
//   bench_answers submit [N]   N hand-ins of a 1 MB answer, each after the
//                              last was delivered: ok latency p50/p99
//   bench_answers burst [N]    the same back to back
//   bench_answers deliver [N]  N answers pending while the server is down;
//                              time until all arrived once it is back
//   bench_answers crash [N]    N kill -9 rounds: accepted, delivered, duplicates

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/exam/answers/AnswerCrashLoop.h"
#include "tests/exam/answers/AnswerPeers.h"
#include "tests/support/HttpFetch.h"

namespace {

constexpr size_t kLargeAnswerBytes = 1024 * 1024;
constexpr int kWaitMs = 600000;
// After a delivery the worker still retires the answer and checkpoints.
constexpr int kIdleSettleMs = 300;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Peers {
    TempDir dir;
    StandinProcess downloader;
    StandinProcess platform;
    ClientProcess client{dir};
    std::string web;

    bool Start(const std::vector<std::string>& fail) {
        setenv("QORVANE_REGISTRY_DIR", dir.file("registry").c_str(), 1);
        if (!downloader.Start("QorvaneService",
                              {"-commandline", "--port", "0", "--data", dir.file("downloader"),
                               "--user", "learner-1", "--report-channel", "none"})) {
            std::fprintf(stderr, "%s\n", downloader.Failure().c_str());
            return false;
        }
        std::vector<std::string> args = {"--web", "0", "--update", "0", "--box", "0=no", "--data",
                                         dir.file("platform"), "--journal", Journal(), "--channel",
                                         "none"};
        for (const std::string& rule : fail) {
            args.push_back("--fail");
            args.push_back(rule);
        }
        if (!platform.Start("PlatformStandin", args)) {
            std::fprintf(stderr, "%s\n", platform.Failure().c_str());
            return false;
        }
        web = platform.Url("web");
        return client.Start(downloader.Port("downloader"));
    }
    std::string Journal() const { return dir.file("platform.jsonl"); }
};

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// As a page sends it: libcurl's "Expect: 100-continue" for large bodies
// would add its own one-second wait, which browsers never do.
std::string SubmitWithoutExpect(int port, const std::string& body) {
    std::string answer;
    CURL* curl = curl_easy_init();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) +
                            "/EXAMREQUEST.KIVO?MethodName=SubmitExamAnswers&CallbackFunc=cb";
    curl_slist* headers = curl_slist_append(nullptr, "Expect:");
    headers = curl_slist_append(headers, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "GET");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return answer;
}

// spaced: each hand-in waits until the one before it was delivered and the
// worker is idle again (a learner hands in once per exam); otherwise they
// come back to back, competing with the worker for the disk and both cores.
int Submit(int rounds, bool spaced) {
    Peers peers;
    if (!peers.Start({})) {
        return 1;
    }
    JournalWatch journal(peers.Journal());
    const std::string filler(kLargeAnswerBytes, 'a');
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        if (spaced && i > 0) {
            journal.WaitFor(
                [&, seen = 0](const Json::Value& entry) mutable {
                    return IsPost(entry, kAnswerPath) && ++seen >= i;
                },
                kWaitMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(kIdleSettleMs));
        }
        const std::string body = AnswerBody(peers.web, "bench-" + std::to_string(i), filler);
        Clock::time_point start = Clock::now();
        if (SubmitWithoutExpect(peers.client.Port(), body) != kOkAnswer) {
            std::fprintf(stderr, "no ok for round %d\n", i);
            return 1;
        }
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double share) {
        return times[std::min(times.size() - 1, static_cast<size_t>(share * times.size()))];
    };
    std::printf("submit of a %zu-byte answer until ok (durable), %d rounds %s: p50 %.1f ms, "
                "p99 %.1f ms, max %.1f ms\n",
                kLargeAnswerBytes, rounds, spaced ? "spaced" : "back to back", at(0.50), at(0.99),
                times.back());
    peers.client.Stop();
    return 0;
}

int Deliver(int count) {
    Peers peers;
    if (!peers.Start({std::string("path=") + kAnswerPath + ",status=503"})) {
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        if (peers.client.Submit(AnswerBody(peers.web, "pending-" + std::to_string(i))) != kOkAnswer) {
            return 1;
        }
    }
    JournalWatch journal(peers.Journal());
    const long long healedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
    Clock::time_point healed = Clock::now();
    HttpFetch::Send("DELETE", peers.web + "/_standin/faults", "", "text/plain");
    std::set<std::string> delivered;
    long long firstMs = -1;
    long long lastMs = -1;
    // Only deliveries after the server came back count.
    bool all = journal.WaitFor(
        [&](const Json::Value& entry) {
            const long long at = entry["time"].asInt64();
            if (IsPost(entry, kAnswerPath) && at >= healedMs) {
                Json::Value body;
                Json::Reader reader;
                if (reader.parse(entry["body"].asString(), body)) {
                    delivered.insert(body[0u]["examUid"].asString());
                    firstMs = firstMs < 0 ? at - healedMs : firstMs;
                    lastMs = at - healedMs;
                }
            }
            return static_cast<int>(delivered.size()) >= count;
        },
        kWaitMs);
    std::printf("%d pending answers, server back: first delivery after %lld ms (the retry wait), "
                "all %s after %lld ms (the pass itself %lld ms; measured %.0f ms)\n",
                count, firstMs, all ? "delivered" : "NOT delivered", lastMs, lastMs - firstMs,
                MsSince(healed));
    peers.client.Stop();
    return all ? 0 : 1;
}

int Crash(int rounds) {
    TempDir dir;
    setenv("QORVANE_REGISTRY_DIR", dir.file("registry").c_str(), 1);
    CrashLoopResult result = RunCrashLoop(dir.path().string(), rounds, 300, kWaitMs);
    std::printf("%d kill -9 rounds: accepted %d, delivered %d, lost %d, duplicates %d%s%s\n",
                rounds, result.accepted, result.delivered, result.accepted - result.delivered,
                result.duplicates, result.ranAll ? "" : ", stopped early: ",
                result.failure.c_str());
    return result.ranAll && result.delivered == result.accepted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "submit") {
        return Submit(count > 0 ? count : 200, true);
    }
    if (mode == "burst") {
        return Submit(count > 0 ? count : 200, false);
    }
    if (mode == "deliver") {
        return Deliver(count > 0 ? count : 100);
    }
    if (mode == "crash") {
        return Crash(count > 0 ? count : 1000);
    }
    std::fprintf(stderr, "usage: bench_answers submit|deliver|crash [N]\n");
    return 2;
}
