#pragma once

#include <json/json.h>

#include <string>

// Compact JSON without blanks or a trailing newline; real numbers keep a
// fraction ("50.0"), which readers that tell reals from integers rely on.
std::string WriteJson(const Json::Value& value);
// False for anything that is not one complete JSON document.
bool ReadJson(const std::string& text, Json::Value& value);
// True when the bytes are well-formed UTF-8 (the journal keeps such bodies as text).
bool IsUtf8Text(const std::string& bytes);
