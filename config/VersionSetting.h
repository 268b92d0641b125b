#pragma once

#include <string>

// Feature switches of an installation, from "versionSetting.ini" beside the
// program. Each switch is on when its integer is non-zero; a missing file or
// key gives the default below.
struct VersionSetting {
    static constexpr const char* kFileName = "versionSetting.ini";

    bool FLV = false;            // [COURSE] FLV=0: FLV course support
    bool Internet = true;        // [Internet] Allow=1: internet access allowed
    bool AutoUpdate = true;      // [AutoUpdate] Allow=1: automatic update allowed
    bool ProxyDetector = false;  // [ProxyDetector] Allow=0: proxy detection allowed
    bool AutoDelCache = true;    // [AutoDelCache] Allow=1: delete cached course files after use
    // [Exam] RequireLockdown=0: a locked exam whose keyboard lock cannot hold
    // on this desktop is refused instead of run with a notice.
    bool RequireLockdown = false;
    // [Internet] AnalyticsHost=: where the about tab's analytics page lives;
    // the platform stand-in on this machine unless an installation says.
    std::string AnalyticsHost = "http://127.0.0.1:18080";

    // Reads the switches from the given file.
    static VersionSetting Load(const std::string& path);

    // The process-wide record, read from the program folder on first use and
    // never again (an installation does not change while the client runs).
    static const VersionSetting& Current();
};
