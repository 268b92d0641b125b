#include "platform/camera/CameraFormat.h"

#include <cstdint>
#include <cstdlib>

namespace {

std::int64_t Pixels(CameraSize size) {
    return static_cast<std::int64_t>(size.width) * size.height;
}

bool ParseSide(const std::string& text, int& value) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value > 0;
}

}  // namespace

CameraFormatChoice ChooseCameraFormat(const std::vector<CameraSize>& offered, CameraSize wanted) {
    CameraFormatChoice choice;
    std::int64_t best = 0;
    for (size_t i = 0; i < offered.size(); ++i) {
        std::int64_t difference = std::llabs(Pixels(offered[i]) - Pixels(wanted));
        if (choice.index < 0 || difference < best) {
            choice.index = static_cast<int>(i);
            choice.size = offered[i];
            best = difference;
        }
    }
    choice.exact = choice.index >= 0 && best == 0;
    return choice;
}

bool ParseCameraSizes(const std::string& text, std::vector<CameraSize>& sizes) {
    std::vector<CameraSize> parsed;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string item = text.substr(start, end - start);
        size_t cross = item.find('x');
        CameraSize size;
        if (cross == std::string::npos || !ParseSide(item.substr(0, cross), size.width) ||
            !ParseSide(item.substr(cross + 1), size.height)) {
            return false;
        }
        parsed.push_back(size);
        start = end + 1;
    }
    sizes = std::move(parsed);
    return true;
}
