#include "channel/Answer.h"

#include <json/json.h>

#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"

namespace {

std::string TrimWhite(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return std::string();
    }
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

std::string SanitizeCallback(std::string_view name) {
    std::string out;
    for (char c : name) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '$' || c == '.' || c == '[' || c == ']';
        if (allowed) {
            out += c;
        }
    }
    return out.empty() ? std::string(kDefaultCallback) : out;
}

std::string BuildAnswer(int errorCode, bool success, const std::string& message,
                        const std::string& version, const std::string& callback) {
    // Texts go into the JSON as UTF-8: the writer escapes non-ASCII characters
    // from UTF-8, so narrow code-page bytes must be converted before, not after.
    Json::Value item(Json::objectValue);
    item["errorCode"] = std::to_string(errorCode);
    item["errorMsg"] = AnsiToUtf8(message);
    item["isSuccess"] = success ? "true" : "false";
    item["version"] = AnsiToUtf8(version);
    Json::Value list(Json::arrayValue);
    list.append(item);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::FastWriter writer;
    std::string json = TrimWhite(writer.write(list));
#pragma GCC diagnostic pop
    return SanitizeCallback(callback) + "(" + json + ")";
}
