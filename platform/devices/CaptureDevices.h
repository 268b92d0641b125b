#pragma once

#include <string>
#include <vector>

// The capture devices the system offers, by the names people know them by.
enum class CaptureCategory { kVideo, kAudio };

// Fills names with the devices of the category ("Video/Source" or
// "Audio/Source" of GStreamer's device monitor); 0, or -1 when there are
// none (or the monitor cannot start).
int ListCaptureDevices(CaptureCategory category, std::vector<std::string>& names);
