#pragma once

#include <optional>
#include <string>

// The command line the client starts the container with:
//   QVOfficeContainer2003 TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED
// TOPMOST is 1 or 0, the geometry is the container window's place on the
// screen in pixels, RESERVED is always 0 and carries nothing.
struct ContainerArguments {
    static constexpr int kCount = 8;  // the program name included
    // Larger than any screen; keeps a mistyped geometry from asking the X
    // server for an absurd window.
    static constexpr int kMaxExtent = 32767;

    bool topmost = false;
    std::string document;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The arguments, or nothing (error says why) when they are not what the
// client sends: a count other than eight, a flag other than 0/1, a number
// that is not a whole decimal number, an empty size or an empty document.
std::optional<ContainerArguments> ParseContainerArguments(int argc, const char* const* argv,
                                                          std::string* error);
