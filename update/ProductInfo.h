#pragma once

#include <cstdint>
#include <string>

// One offer of the update server, as its product list describes it.
struct ProductInfo {
    int64_t size = 0;
    std::u16string version;
    std::u16string fileName;
    std::u16string md5;
    std::u16string log;
};
