#include "http/HttpMessage.h"

namespace {

bool IsHttpBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string TrimHttp(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsHttpBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsHttpBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

int SetHeaderIn(HeaderMap& headers, const std::string& name, const std::string& value) {
    std::string key = TrimHttp(name);
    if (key.empty()) {
        return -1;
    }
    // Besides ":" and spaces, no control character may stand in a name: a CR
    // or LF there would end the header line and let the name forge others.
    for (unsigned char c : key) {
        if (c == ':' || c <= ' ' || c == 0x7F) {
            return -1;
        }
    }
    std::string clean = TrimHttp(value);
    for (char& c : clean) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    headers[key] = clean;
    return 0;
}

int GetHeaderIn(const HeaderMap& headers, const std::string& name, std::string& value) {
    auto it = headers.find(name);
    if (it == headers.end()) {
        return -1;
    }
    value = it->second;
    return 0;
}

int ParseHeaderBlock(std::string_view block, HeaderMap& headers) {
    size_t start = 0;
    while (start < block.size()) {
        size_t stop = block.find("\r\n", start);
        if (stop == std::string_view::npos) {
            stop = block.size();
        }
        std::string_view header = block.substr(start, stop - start);
        size_t colon = header.find(':');
        if (colon == std::string_view::npos) {
            return -1;
        }
        headers[TrimHttp(header.substr(0, colon))] = TrimHttp(header.substr(colon + 1));
        start = stop + 2;
    }
    return 0;
}

bool SplitMessage(std::string_view text, MessageParts& parts) {
    size_t e1 = text.find("\r\n");
    size_t e2 = text.find("\r\n\r\n");
    if (e1 == std::string_view::npos || e2 == std::string_view::npos) {
        return false;
    }
    parts.startLine = text.substr(0, e1);
    parts.headerBlock = e2 > e1 ? text.substr(e1 + 2, e2 - (e1 + 2)) : std::string_view();
    parts.body = text.substr(e2 + 4);
    return true;
}

bool NextWord(std::string_view line, size_t& pos, std::string_view& word) {
    size_t start = line.find_first_not_of(' ', pos);
    if (start == std::string_view::npos) {
        return false;
    }
    size_t space = line.find(' ', start);
    if (space == std::string_view::npos) {
        return false;
    }
    word = line.substr(start, space - start);
    pos = space;
    return true;
}
