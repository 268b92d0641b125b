#pragma once

#include <string>

// Hand in an answer, kill -9 the client at a random moment after its "ok"
// (the downloader down throughout), start it again; repeat. Then bring the
// downloader back and count what reached the platform.
struct CrashLoopResult {
    bool ranAll = false;  // every run started and answered ok
    int accepted = 0;     // answers the client said ok to
    int delivered = 0;    // distinct answers the server or a box received
    int duplicates = 0;   // deliveries beyond the first of an answer
    std::string failure;
};

// maxKillDelayMs: the kill comes 0 to this many ms after the ok.
CrashLoopResult RunCrashLoop(const std::string& folder, int rounds, int maxKillDelayMs,
                             int deliveryWaitMs);
