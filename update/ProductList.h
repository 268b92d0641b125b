#pragma once

#include <string>

#include "update/ProductInfo.h"

// The update server's list of what it offers, relative to its base address.
inline constexpr const char* kProductListPath = "/module/QorvaneProductList.xml";

// Reads the children of the list's root element (names in any letter case;
// a later element of a name overwrites an earlier one). true when the list
// names a version and a positive size; a body that is not XML is refused.
bool ParseProductList(const std::string& utf8, ProductInfo& info);
