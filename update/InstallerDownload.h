#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Fetching the installer an update offers, checking it and starting it.

struct ByteRange {
    int64_t first = 0;
    int64_t last = 0;  // inclusive, as in a Range header
    int64_t Length() const { return last - first + 1; }
};

struct InstallerRequest {
    std::string url;     // where the installer is served
    std::string target;  // where it ends up; the download goes to target + ".tmp" first
    int64_t size = 0;    // as the product list says
    std::string md5;     // hex digest of the list; empty: not checked
};

class InstallerDownload {
public:
    // Installers up to this size come in one request, larger ones in kRangeCount parts.
    static constexpr int64_t kSingleRequestMax = 1048576;
    static constexpr int kRangeCount = 100;
    // A part that fails is asked for again before the download gives up.
    static constexpr int kRangeAttempts = 3;
    static constexpr int kRequestTimeoutMs = 120000;
    static constexpr const char* kTempSuffix = ".tmp";

    // The parts of a download of `size` bytes: none when it fits one request;
    // the last part ends at size - 1.
    static std::vector<ByteRange> PlanRanges(int64_t size);

    // percent: called after each part that was written (1..100).
    using Progress = std::function<void(int percent)>;

    // Downloads, moves into place and checks the digest. false on any
    // failure, logged where it was decided; a stop request ends it between parts.
    static bool Fetch(const InstallerRequest& request, const Progress& progress,
                      const std::atomic<bool>& stop);
    // true when the file's MD5 equals the hex text, ignoring case; an empty
    // text matches every file.
    static bool DigestMatches(const std::string& path, const std::string& md5);
    // Executable installers are started as programs (execute bit set); a
    // Debian package is handed to the desktop's package installer.
    static bool Start(const std::string& path);
    // A name the server gives for a file in our data folder: no folders,
    // nothing hidden, no control characters.
    static bool IsSafeFileName(const std::string& name);
};
