// The images the shell windows ask for by name exist in both skins, are
// PNGs of usable size, and the second skin really looks different.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/Files.h"

namespace {

struct PngSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

uint32_t BigEndian(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

// Width and height from the IHDR chunk; zero when the bytes are no PNG.
PngSize ReadPngSize(const std::string& bytes) {
    constexpr size_t kIhdrEnd = 24;
    if (bytes.size() < kIhdrEnd || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return {};
    }
    return {BigEndian(bytes, 16), BigEndian(bytes, 20)};
}

const char* const kTabs[] = {"tab_coursemanage", "tab_proxyset", "tab_systeminfo", "tab_about"};
const char* const kIcons[] = {"warning.png", "question.png", "time.png", "tray.png"};

}  // namespace

TEST(SkinAssets, BothSkinsHoldEveryImage) {
    for (const char* skin : {"/skin/", "/skin2/"}) {
        const std::string folder = std::string(QORVANE_SOURCE_DIR) + skin;
        for (const char* tab : kTabs) {
            for (const std::string suffix : {".png", "(over).png"}) {
                const std::string name = tab + suffix;
                PngSize size = ReadPngSize(ReadWholeFile(folder + name));
                EXPECT_GE(size.width, 60u) << skin << name;
                EXPECT_GE(size.height, 24u) << skin << name;
            }
        }
        for (const char* icon : kIcons) {
            PngSize size = ReadPngSize(ReadWholeFile(folder + icon));
            EXPECT_GE(size.width, 16u) << skin << icon;
            EXPECT_LE(size.width, 32u) << skin << icon;
            EXPECT_EQ(size.width, size.height) << skin << icon;
        }
        EXPECT_GT(ReadPngSize(ReadWholeFile(folder + "logo.png")).width, 0u) << skin;
    }
}

TEST(SkinAssets, SecondSkinLooksDifferent) {
    const std::string first = std::string(QORVANE_SOURCE_DIR) + "/skin/";
    const std::string second = std::string(QORVANE_SOURCE_DIR) + "/skin2/";
    for (const char* name : {"tab_coursemanage(over).png", "tray.png", "question.png"}) {
        EXPECT_NE(ReadWholeFile(first + name), ReadWholeFile(second + name)) << name;
    }
}
