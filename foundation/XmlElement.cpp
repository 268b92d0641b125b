#include "foundation/XmlElement.h"

#include <algorithm>
#include <cctype>

#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"

namespace {

constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kCdataEnd = "]]>";
constexpr std::string_view kUtf8Declaration = "encoding=\"utf-8\"";
// The declaration counts only when it starts this close to the beginning,
// i.e. inside the <?xml ...?> line and not in the content.
constexpr size_t kDeclarationReach = 38;

bool EndsName(char c) {
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool DeclaresUtf8(std::string_view document) {
    std::string head = AsciiLower(document.substr(0, kDeclarationReach + kUtf8Declaration.size() - 1));
    size_t at = head.find(kUtf8Declaration);
    return at != std::string::npos && at < kDeclarationReach;
}

}  // namespace

int ReadXmlElement(size_t& cursor, std::string_view tag, std::string_view document,
                   std::string& output) {
    output.clear();
    if (tag.empty() || cursor > document.size()) {
        return -1;
    }
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";

    // The name must match whole: <Retn> must not be found as <RetnCode>.
    size_t start = cursor;
    size_t nameEnd;
    while (true) {
        start = document.find(open, start);
        if (start == std::string_view::npos) {
            return -1;
        }
        nameEnd = start + open.size();
        if (nameEnd < document.size() && EndsName(document[nameEnd])) {
            break;
        }
        ++start;
    }
    size_t contentStart = document.find('>', nameEnd);
    if (contentStart == std::string_view::npos) {
        return -1;
    }
    ++contentStart;
    if (document[contentStart - 2] == '/') {  // <tag/>: an empty element
        cursor = contentStart;
        return 0;
    }
    size_t contentEnd = document.find(close, contentStart);
    if (contentEnd == std::string_view::npos) {
        return -1;
    }
    std::string_view content = document.substr(contentStart, contentEnd - contentStart);
    if (content.starts_with(kCdataStart)) {
        content.remove_prefix(kCdataStart.size());
        if (content.ends_with(kCdataEnd)) {
            content.remove_suffix(kCdataEnd.size());
        }
        output = std::string(content);
    } else {
        output = std::string(content);
        ReplaceAll(output, "&lt;", "<");
        ReplaceAll(output, "&gt;", ">");
    }
    if (DeclaresUtf8(document)) {
        output = ToAnsiIfUtf8(output);
    }
    cursor = contentStart;
    return 0;
}
