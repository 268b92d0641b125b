#pragma once

#include <cstdint>
#include <string>

// One handed-in answer on its way to the platform.
struct PendingAnswer {
    std::string userUid;   // as received (UTF-8)
    std::string examUid;   // as received
    std::string answer;    // the whole request body, byte for byte
    std::string url;       // the server address, decoded, in the narrow code page
    std::string path;      // where on the server it is posted, narrow code page
    int64_t lastTime = 0;  // seconds since 1970
    int32_t status = 0;    // 0 pending, 1 delivered
    // Local bookkeeping: a later submission of the same learner and exam gets
    // a higher version, so a delivery of an older text never retires it; and
    // whether the downloader's table already holds this version.
    uint64_t version = 0;
    bool mirrored = false;

    bool SameExam(const PendingAnswer& other) const {
        return userUid == other.userUid && examUid == other.examUid;
    }
};
