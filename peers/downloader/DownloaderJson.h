#pragma once

#include <json/json.h>

#include <string>
#include <string_view>

// JSON as the downloader writes it and as it expects it.

// Parses a whole text; false for anything that is not one JSON value (an
// empty text included) or nests deeper than the reader's limit.
bool ParseDownloaderJson(std::string_view text, Json::Value& root);

// Element 0 of an array root, or null for any other root.
const Json::Value& FirstElement(const Json::Value& root);

// The compact form with members in ascending key order and the writer's
// trailing newline; the downloader compares argument texts byte for byte.
std::string WriteCompactJson(const Json::Value& value);

// True for "TRUE", "YES", "OK" or "1" in any letter case.
bool IsSuccessText(const std::string& utf8);
