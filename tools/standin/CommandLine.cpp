#include "tools/standin/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

CommandLine::CommandLine(int argc, char** argv, const std::vector<std::string>& flags) {
    auto isFlag = [&flags](const std::string& name) {
        return name == "help" || std::find(flags.begin(), flags.end(), name) != flags.end();
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t dashes = arg.find_first_not_of('-');
        if (dashes == 0 || dashes == std::string::npos) {
            m_options.emplace("", arg);
            continue;
        }
        std::string name = arg.substr(dashes);
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            m_options.emplace(name.substr(0, equals), name.substr(equals + 1));
        } else if (!isFlag(name) && i + 1 < argc && argv[i + 1][0] != '-') {
            m_options.emplace(name, argv[++i]);
        } else {
            m_options.emplace(name, "");
        }
    }
}

bool CommandLine::Has(const std::string& name) const {
    return m_options.count(name) > 0;
}

std::string CommandLine::Value(const std::string& name, const std::string& fallback) const {
    auto range = m_options.equal_range(name);
    if (range.first == range.second) {
        return fallback;
    }
    return std::prev(range.second)->second;
}

int CommandLine::IntValue(const std::string& name, int fallback) const {
    return static_cast<int>(Int64Value(name, fallback));
}

long long CommandLine::Int64Value(const std::string& name, long long fallback) const {
    long long value = 0;
    return ParseInt(Value(name), value) ? value : fallback;
}

std::vector<std::string> CommandLine::Values(const std::string& name) const {
    std::vector<std::string> values;
    auto range = m_options.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) {
        values.push_back(it->second);
    }
    return values;
}

std::vector<std::string> CommandLine::Unknown(const std::vector<std::string>& known) const {
    std::vector<std::string> unknown;
    for (const auto& [name, value] : m_options) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            unknown.push_back(name.empty() ? value : "--" + name);
        }
    }
    return unknown;
}

bool ParseInt(const std::string& text, long long& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-')) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return false;
    }
    value = parsed;
    return true;
}
