#include "officecontainer/FileUrl.h"

#include "foundation/UrlUtil.h"

std::string FileUrlOf(const std::string& absolutePath) {
    std::string url = "file://";
    size_t start = 0;
    while (start < absolutePath.size()) {
        size_t slash = absolutePath.find('/', start);
        if (slash == std::string::npos) {
            slash = absolutePath.size();
        }
        if (slash > start) {
            url += "/" + UrlEncode(std::string_view(absolutePath).substr(start, slash - start));
        }
        start = slash + 1;
    }
    return url;
}
