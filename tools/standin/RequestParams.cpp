#include "tools/standin/RequestParams.h"

#include <strings.h>

#include <cstdlib>

#include "tools/standin/LongRequestServer.h"

// The HTTP library splits "name=a=b" at every "=" and keeps the last piece, so
// a statement such as "where 1=1" sent without escaping would lose its head.
// The query is therefore read here, split at the first "=" only.
static bool FindInQuery(const std::string& target, const std::string& name, bool exact,
                        std::string& value) {
    size_t question = target.find('?');
    if (question == std::string::npos) {
        return false;
    }
    size_t pos = question + 1;
    while (pos <= target.size()) {
        size_t amp = target.find('&', pos);
        std::string piece = target.substr(pos, amp == std::string::npos ? amp : amp - pos);
        size_t equals = piece.find('=');
        std::string key = PercentDecoded(piece.substr(0, equals));
        bool match = exact ? key == name : strcasecmp(key.c_str(), name.c_str()) == 0;
        if (match) {
            value = equals == std::string::npos ? "" : PercentDecoded(piece.substr(equals + 1));
            return true;
        }
        if (amp == std::string::npos) {
            break;
        }
        pos = amp + 1;
    }
    return false;
}

std::string ParamOf(const httplib::Request& request, const std::string& name) {
    std::string value;
    if (FindInQuery(request.target, name, true, value) ||
        FindInQuery(request.target, name, false, value)) {
        return value;
    }
    // Form bodies of POST requests; large ones arrive unparsed.
    if (request.has_header(LongRequestServer::kOriginalTypeHeader) &&
        (FindInQuery("?" + request.body, name, true, value) ||
         FindInQuery("?" + request.body, name, false, value))) {
        return value;
    }
    if (request.has_param(name.c_str())) {
        return request.get_param_value(name.c_str());
    }
    for (const auto& [key, param] : request.params) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) {
            return param;
        }
    }
    return "";
}

std::string PercentDecoded(const std::string& text) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else if (text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string DefaultDataDir(const std::string& name) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "/tmp") + "/.local/share";
    }
    return base + "/qorvane-standins/" + name;
}
