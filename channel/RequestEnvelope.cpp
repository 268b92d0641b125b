#include "channel/RequestEnvelope.h"

#include <json/reader.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "channel/Answer.h"
#include "foundation/TextUtil.h"

namespace {

// Deeper nesting than any page sends; bounds the reader's recursion.
constexpr int kJsonDepthLimit = 256;

const Json::Value* StringMember(const Json::Value& object, const char* member) {
    const Json::Value* value = FindMember(object, member);
    return value && value->isString() ? value : nullptr;
}

}  // namespace

const Json::Value* FindMember(const Json::Value& object, const char* member) {
    if (!object.isObject()) {
        return nullptr;
    }
    return object.find(member, member + std::strlen(member));
}

std::string ReadRequestArgs(const CHttpRequest& request) {
    std::string args;
    request.GetParam(kParamRequestArgs, args);
    if (args.empty()) {
        request.GetParam(kParamRequestArgsOld, args);
    }
    return args;
}

std::string ReadCallbackName(const CHttpRequest& request) {
    std::string callback;
    request.GetParam(kParamCallback, callback);
    return callback.empty() ? std::string(kDefaultCallback) : callback;
}

int ParseArgumentObject(std::string_view text, Json::Value& object) {
    object = Json::Value(Json::objectValue);
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = kJsonDepthLimit;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed =
            !text.empty() && reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        parsed = false;  // the depth limit is reported by an exception
    }
    if (!parsed) {
        return kArgsNotJson;
    }
    if (root.isNull()) {
        return kArgsOk;
    }
    if (!root.isArray()) {
        return kArgsNotArray;
    }
    if (!root.empty() && root[0u].isObject()) {
        object = root[0u];
    }
    return kArgsOk;
}

void ReadText(const Json::Value& object, const char* member, std::string& field) {
    if (const Json::Value* value = StringMember(object, member)) {
        field = value->asString();
    }
}

void ReadFlag(const Json::Value& object, const char* member, bool& field) {
    if (const Json::Value* value = StringMember(object, member)) {
        const std::string text = value->asString();
        field = EqualsIgnoreCase(text, "true") || EqualsIgnoreCase(text, "yes") ||
                EqualsIgnoreCase(text, "1");
    }
}

void ReadInt(const Json::Value& object, const char* member, int& field) {
    if (const Json::Value* value = StringMember(object, member)) {
        long number = std::strtol(value->asCString(), nullptr, 10);
        if (number > INT_MAX) {
            number = INT_MAX;
        } else if (number < INT_MIN) {
            number = INT_MIN;
        }
        field = static_cast<int>(number);
    }
}

void ReadDecodedText(const Json::Value& object, const char* member, std::string& field) {
    if (const Json::Value* value = StringMember(object, member)) {
        field = PercentDecode(value->asString());
    }
}
