#include "platform/registry/RegistryHive.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/TextUtil.h"

namespace {

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Reads a quoted text starting at pos; pos ends after the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= line.size() || line[pos] != '"') {
        return false;
    }
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size()) {
            return false;
        }
        if (line[pos] == 'x') {
            if (pos + 2 >= line.size() || HexDigitValue(line[pos + 1]) < 0 ||
                HexDigitValue(line[pos + 2]) < 0) {
                return false;
            }
            out +=
                static_cast<char>(HexDigitValue(line[pos + 1]) * 16 + HexDigitValue(line[pos + 2]));
            pos += 2;
        } else {
            out += line[pos];
        }
    }
    return false;
}

}  // namespace

std::string RegistryHive::NormalizePath(const std::string& path) {
    std::string out;
    std::string part;
    auto flush = [&] {
        if (!part.empty()) {
            if (!out.empty()) {
                out += '\\';
            }
            out += part;
            part.clear();
        }
    };
    for (char c : path) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    return out;
}

bool RegistryHive::Parse(const std::string& text) {
    m_keys.clear();
    std::string current;
    bool haveKey = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                return false;
            }
            current = NormalizePath(line.substr(1, line.size() - 2));
            CreateKey(current);
            haveKey = true;
            continue;
        }
        if (!haveKey) {
            return false;
        }
        size_t pos = 0;
        Value value;
        if (!Unquote(line, pos, value.name) || pos >= line.size() || line[pos] != '=') {
            return false;
        }
        ++pos;
        if (line.compare(pos, 6, "dword:") == 0) {
            std::string digits = line.substr(pos + 6);
            if (digits.empty() || digits.size() > 8) {
                return false;
            }
            char* stop = nullptr;
            value.number = static_cast<uint32_t>(std::strtoul(digits.c_str(), &stop, 16));
            if (*stop != '\0') {
                return false;
            }
            value.type = Type::Dword;
        } else {
            if (!Unquote(line, pos, value.text) || pos != line.size()) {
                return false;
            }
            value.type = Type::String;
        }
        SetValue(current, value);
    }
    return true;
}

std::string RegistryHive::Serialize() const {
    std::string out = "; Qorvane registry hive\n";
    for (const auto& [lower, key] : m_keys) {
        out += "\n[" + key.path + "]\n";
        for (const auto& [lowerName, value] : key.values) {
            out += Quote(value.name) + "=";
            if (value.type == Type::Dword) {
                char number[16];
                snprintf(number, sizeof(number), "dword:%08x", value.number);
                out += number;
            } else {
                out += Quote(value.text);
            }
            out += "\n";
        }
    }
    return out;
}

bool RegistryHive::HasKey(const std::string& path) const {
    return m_keys.count(Lower(NormalizePath(path))) != 0;
}

std::vector<std::string> RegistryHive::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    auto it = m_keys.find(Lower(NormalizePath(path)));
    if (it != m_keys.end()) {
        for (const auto& [lower, value] : it->second.values) {
            names.push_back(value.name);
        }
    }
    return names;
}

void RegistryHive::CreateKey(const std::string& path) {
    std::string normal = NormalizePath(path);
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = normal.find('\\', pos + 1);
        std::string prefix = normal.substr(0, pos);
        if (prefix.empty()) {
            continue;
        }
        auto& key = m_keys[Lower(prefix)];
        if (key.path.empty()) {
            key.path = prefix;
        }
    }
}

bool RegistryHive::DeleteKey(const std::string& path) {
    std::string lower = Lower(NormalizePath(path));
    if (lower.empty() || m_keys.erase(lower) == 0) {
        return false;
    }
    const std::string below = lower + "\\";
    for (auto it = m_keys.lower_bound(below);
         it != m_keys.end() && it->first.rfind(below, 0) == 0;) {
        it = m_keys.erase(it);
    }
    return true;
}

const RegistryHive::Value* RegistryHive::FindValue(const std::string& path,
                                                   const std::string& name) const {
    auto key = m_keys.find(Lower(NormalizePath(path)));
    if (key == m_keys.end()) {
        return nullptr;
    }
    auto value = key->second.values.find(Lower(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

void RegistryHive::SetValue(const std::string& path, const Value& value) {
    CreateKey(path);
    auto& values = m_keys[Lower(NormalizePath(path))].values;
    auto existing = values.find(Lower(value.name));
    Value stored = value;
    if (existing != values.end()) {
        stored.name = existing->second.name;  // keeps the first spelling
    }
    values[Lower(value.name)] = stored;
}

bool RegistryHive::DeleteValue(const std::string& path, const std::string& name) {
    auto key = m_keys.find(Lower(NormalizePath(path)));
    return key != m_keys.end() && key->second.values.erase(Lower(name)) != 0;
}

std::vector<std::string> RegistryHive::SubKeys(const std::string& path) const {
    std::string lower = Lower(NormalizePath(path));
    std::string below = lower.empty() ? "" : lower + "\\";
    std::vector<std::string> names;
    for (auto it = m_keys.lower_bound(below); it != m_keys.end(); ++it) {
        if (it->first.rfind(below, 0) != 0) {
            break;
        }
        std::string rest = it->second.path.substr(below.size());
        if (!rest.empty() && rest.find('\\') == std::string::npos) {
            names.push_back(rest);
        }
    }
    return names;
}
