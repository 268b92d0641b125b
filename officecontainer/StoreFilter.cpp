#include "officecontainer/StoreFilter.h"

namespace {

struct TypeFilter {
    const char* type;
    const char* filter;
};

// Office Open XML through the 2007 filters of Writer, Calc and Impress, the
// binary formats through their 97 filters.
constexpr TypeFilter kFilters[] = {
    {"docx", "MS Word 2007 XML"},
    {"doc", "MS Word 97"},
    {"xlsx", "Calc MS Excel 2007 XML"},
    {"xls", "MS Excel 97"},
    {"pptx", "Impress MS PowerPoint 2007 XML"},
    {"ppt", "MS PowerPoint 97"},
};

}  // namespace

std::string StoreFilterFor(const std::string& documentType) {
    for (const TypeFilter& entry : kFilters) {
        if (documentType == entry.type) {
            return entry.filter;
        }
    }
    return {};
}
