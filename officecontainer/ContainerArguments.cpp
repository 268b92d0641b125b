#include "officecontainer/ContainerArguments.h"

#include <charconv>
#include <cstring>

namespace {

bool ParseInt(const char* text, int minimum, int* value) {
    const char* end = text + std::strlen(text);
    auto [rest, error] = std::from_chars(text, end, *value);
    return error == std::errc() && rest == end && end != text && *value >= minimum &&
           *value <= ContainerArguments::kMaxExtent;
}

}  // namespace

std::optional<ContainerArguments> ParseContainerArguments(int argc, const char* const* argv,
                                                          std::string* error) {
    if (argc != ContainerArguments::kCount) {
        *error = "expected TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED";
        return std::nullopt;
    }
    ContainerArguments args;
    const std::string topmost = argv[1];
    if (topmost != "0" && topmost != "1") {
        *error = "TOPMOST must be 0 or 1, not \"" + topmost + "\"";
        return std::nullopt;
    }
    args.topmost = topmost == "1";
    args.document = argv[2];
    if (args.document.empty()) {
        *error = "no document";
        return std::nullopt;
    }
    if (!ParseInt(argv[3], -ContainerArguments::kMaxExtent, &args.x) ||
        !ParseInt(argv[4], -ContainerArguments::kMaxExtent, &args.y) ||
        !ParseInt(argv[5], 1, &args.width) || !ParseInt(argv[6], 1, &args.height)) {
        *error = "X Y WIDTH HEIGHT must be whole numbers, the size above 0";
        return std::nullopt;
    }
    return args;
}
