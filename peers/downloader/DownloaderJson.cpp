#include "peers/downloader/DownloaderJson.h"

#include <memory>

#include "foundation/Encoding.h"

namespace {

// Answers are small records; anything nested deeper is not one of them.
constexpr int kJsonDepthLimit = 64;

}  // namespace

bool ParseDownloaderJson(std::string_view text, Json::Value& root) {
    root = Json::Value();
    if (text.empty()) {
        return false;
    }
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = kJsonDepthLimit;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        root = Json::Value();
        return false;  // the depth limit is reported by an exception
    }
}

const Json::Value& FirstElement(const Json::Value& root) {
    if (root.isArray() && !root.empty()) {
        return root[0u];
    }
    return Json::Value::nullSingleton();
}

std::string WriteCompactJson(const Json::Value& value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::FastWriter writer;
    return writer.write(value);
#pragma GCC diagnostic pop
}

bool IsSuccessText(const std::string& utf8) {
    std::u16string text = Utf8ToWide(utf8);
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text == u"TRUE" || text == u"YES" || text == u"OK" || text == u"1";
}
