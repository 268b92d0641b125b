#include "tools/standin/JsonText.h"

#include <memory>

// Significant digits of real numbers: progress rates read "33.33", not "33.329999999999998".
constexpr unsigned kRealPrecision = 10;

std::string WriteJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = kRealPrecision;
    return Json::writeString(builder, value);
}

bool ReadJson(const std::string& text, Json::Value& value) {
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

bool IsUtf8Text(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        int follow = 0;
        if (c < 0x80) {
            follow = 0;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            follow = 1;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            follow = 3;
        } else {
            return false;
        }
        if (follow > 0 && i + follow >= bytes.size()) {
            return false;
        }
        for (int k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += follow + 1;
    }
    return true;
}
