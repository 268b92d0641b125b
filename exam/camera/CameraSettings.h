#pragma once

#include <string>

#include "platform/camera/CameraCapture.h"

// How the exam's camera is set up: where pictures come from, how often a
// snapshot is taken, where the snapshots are kept and what the logs say.
// No display, no camera: plain rules.

// Seconds between two snapshots, drawn anew for every snapshot.
struct SnapshotInterval {
    int minSeconds = 480;
    int maxSeconds = 720;
};

// Environment knobs of tests and benchmarks; without them the first camera
// of the system and 480-720 s are used.
constexpr const char* kCameraSourceEnvironment = "QORVANE_CAMERA_SOURCE";
constexpr const char* kCameraSizesEnvironment = "QORVANE_CAMERA_SIZES";
constexpr const char* kSnapshotSecondsEnvironment = "QORVANE_SNAPSHOT_SECONDS";

// "MIN-MAX" with 0 < MIN <= MAX; false (interval untouched) otherwise.
bool ParseSnapshotInterval(const std::string& text, SnapshotInterval& interval);

// The knobs read from the environment; bad values are logged and ignored.
CameraSource ConfiguredCameraSource();
SnapshotInterval ConfiguredSnapshotInterval();

// The folder of the snapshots: dataPath + "/CameraCapture".
std::string SnapshotDirectory(const std::string& dataPath);
// directory + "/" + prefix + "_<counter>.jpg".
std::string SnapshotPath(const std::string& directory, const std::string& prefix, int counter);

// The log line of the format choice: "Match camera width and height
// succ.  Request(640x480), camera(WxH)", or "failed." when the size differs.
std::string FormatMatchLine(const CameraFormatChoice& choice);
