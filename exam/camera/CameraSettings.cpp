#include "exam/camera/CameraSettings.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/ClientLog.h"

namespace {

bool ParseSeconds(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value > 0;
}

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

bool ParseSnapshotInterval(const std::string& text, SnapshotInterval& interval) {
    size_t dash = text.find('-');
    SnapshotInterval parsed;
    if (dash == std::string::npos || !ParseSeconds(text.substr(0, dash), parsed.minSeconds) ||
        !ParseSeconds(text.substr(dash + 1), parsed.maxSeconds) ||
        parsed.minSeconds > parsed.maxSeconds) {
        return false;
    }
    interval = parsed;
    return true;
}

CameraSource ConfiguredCameraSource() {
    CameraSource source;
    const char* description = Environment(kCameraSourceEnvironment);
    if (!description) {
        return source;
    }
    source.description = description;
    const char* sizes = Environment(kCameraSizesEnvironment);
    if (!ParseCameraSizes(sizes ? sizes : "", source.sizes)) {
        LOG_WARN("%s is not a list of sizes like 1280x720,640x480: the source offers none",
                 kCameraSizesEnvironment);
    }
    return source;
}

SnapshotInterval ConfiguredSnapshotInterval() {
    SnapshotInterval interval;
    if (const char* text = Environment(kSnapshotSecondsEnvironment)) {
        if (!ParseSnapshotInterval(text, interval)) {
            LOG_WARN("%s is not MIN-MAX seconds: %s", kSnapshotSecondsEnvironment, text);
        }
    }
    return interval;
}

std::string SnapshotDirectory(const std::string& dataPath) {
    return dataPath + "/CameraCapture";
}

std::string SnapshotPath(const std::string& directory, const std::string& prefix, int counter) {
    return directory + "/" + prefix + "_" + std::to_string(counter) + ".jpg";
}

std::string FormatMatchLine(const CameraFormatChoice& choice) {
    char line[160];
    snprintf(line, sizeof(line), "Match camera width and height %s  Request(%dx%d), camera(%dx%d)",
             choice.exact ? "succ." : "failed.", kWantedCameraSize.width, kWantedCameraSize.height,
             choice.size.width, choice.size.height);
    return line;
}
