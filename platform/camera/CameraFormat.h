#pragma once

#include <string>
#include <vector>

// A picture size a camera offers, in pixels.
struct CameraSize {
    int width = 0;
    int height = 0;
    bool operator==(const CameraSize&) const = default;
};

// The format a camera is run in: the offered size whose pixel count lies
// closest to the wanted one (absolute difference; on equal difference the
// first offered stays). index is -1 and size 0x0 when nothing was offered.
struct CameraFormatChoice {
    int index = -1;
    CameraSize size;
    bool exact = false;  // the pixel counts are equal
};

constexpr CameraSize kWantedCameraSize{640, 480};

CameraFormatChoice ChooseCameraFormat(const std::vector<CameraSize>& offered,
                                      CameraSize wanted = kWantedCameraSize);

// "1280x720,640x480" -> the sizes in order. Anything else in the list
// (empty items, zero or negative sides, stray characters) makes the whole
// text invalid: false, sizes untouched.
bool ParseCameraSizes(const std::string& text, std::vector<CameraSize>& sizes);
