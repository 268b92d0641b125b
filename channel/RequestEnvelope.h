#pragma once

#include <json/value.h>

#include <string>
#include <string_view>

#include "http/HttpRequest.h"

// The envelope of a channel request: the named parameters every method reads
// and the rules by which JSON arguments are read into records.

constexpr const char* kParamMethodName = "MethodName";
constexpr const char* kParamRequestArgs = "RequestArgs";
// Older pages spell it this way; read when RequestArgs is empty or absent.
constexpr const char* kParamRequestArgsOld = "RequstArgs";
constexpr const char* kParamCallback = "CallbackFunc";
// Parameters of single methods.
constexpr const char* kParamStatus = "Status";    // UpdatePaperDownloadStatus, integer
constexpr const char* kParamFileCache = "param";  // FileCache, integer
constexpr const char* kParamErrCode = "errCode";  // CameraControl, text read with atoi
constexpr const char* kParamWebAddr = "webAddr";  // CheckUpdate, text, percent-decoded

// The JSON arguments text of the request (RequestArgs, else RequstArgs).
std::string ReadRequestArgs(const CHttpRequest& request);
// The callback name, "callback" when the parameter is empty or absent.
std::string ReadCallbackName(const CHttpRequest& request);

// Results of parsing the arguments of a method.
constexpr int kArgsOk = 0;
constexpr int kArgsNotJson = -1;       // not JSON at all (an empty text included)
constexpr int kArgsNotArray = -2;      // JSON, but neither an array nor null
constexpr int kArgsMissingField = -3;  // a required field is empty after reading

// Parses `[{...}]` and hands back the first element's object (an empty object
// for null, for an empty array or when the first element is not an object).
int ParseArgumentObject(std::string_view text, Json::Value& object);

// The member of that name, or null when there is none or `object` is not an
// object.
const Json::Value* FindMember(const Json::Value& object, const char* member);

// The reading rules shared by every record. Only JSON strings count; a member
// that is missing or of another type leaves the field as it was (its default).
void ReadText(const Json::Value& object, const char* member, std::string& field);
// True for "true", "yes" or "1" in any letter case; any other string is false.
void ReadFlag(const Json::Value& object, const char* member, bool& field);
// atoi of the string (leading digits, 0 when there are none); clamped to int.
void ReadInt(const Json::Value& object, const char* member, int& field);
// ReadText followed by percent-decoding, for URL-valued members.
void ReadDecodedText(const Json::Value& object, const char* member, std::string& field);
