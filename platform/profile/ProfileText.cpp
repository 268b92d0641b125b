#include "platform/profile/ProfileText.h"

#include <climits>

#include "foundation/TextUtil.h"

namespace {

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";
constexpr size_t kUtf8BomSize = 3;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// The name of a "[name]" header line, or false for any other line.
bool SectionName(const std::string& line, std::string& name) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != '[') {
        return false;
    }
    size_t close = trimmed.find(']');
    if (close == std::string::npos) {
        return false;
    }
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool IsComment(const std::string& line) {
    std::string trimmed = Trim(line);
    return !trimmed.empty() && trimmed[0] == ';';
}

}  // namespace

ProfileText::ProfileText(const std::string& text) {
    std::string body = text;
    if (body.compare(0, kUtf8BomSize, kUtf8Bom) == 0) {
        m_bom = true;
        body.erase(0, kUtf8BomSize);
    }
    size_t start = 0;
    bool newlineSeen = false;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        std::string line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (!newlineSeen) {
                m_newline = "\r\n";
            }
        }
        if (end < body.size()) {
            newlineSeen = true;
        }
        m_lines.push_back(line);
        start = end + 1;
    }
}

bool ProfileText::FindSection(const std::string& section, size_t& header, size_t& end) const {
    const std::string wanted = Trim(section);
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string name;
        if (!SectionName(m_lines[i], name) || !EqualsIgnoreCase(name, wanted)) {
            continue;
        }
        header = i;
        end = i + 1;
        std::string ignored;
        while (end < m_lines.size() && !SectionName(m_lines[end], ignored)) {
            ++end;
        }
        return true;
    }
    return false;
}

std::optional<size_t> ProfileText::FindKeyLine(size_t begin, size_t end,
                                               const std::string& key) const {
    const std::string wanted = Trim(key);
    for (size_t i = begin; i < end; ++i) {
        const std::string& line = m_lines[i];
        if (IsComment(line)) {
            continue;
        }
        size_t equals = line.find('=');
        if (equals != std::string::npos && EqualsIgnoreCase(Trim(line.substr(0, equals)), wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileText::Find(const std::string& section,
                                             const std::string& key) const {
    size_t header = 0;
    size_t end = 0;
    if (!FindSection(section, header, end)) {
        return std::nullopt;
    }
    std::optional<size_t> line = FindKeyLine(header + 1, end, key);
    if (!line) {
        return std::nullopt;
    }
    const std::string& raw = m_lines[*line];
    std::string value = Trim(raw.substr(raw.find('=') + 1));
    // One pair of matching quotes around the value is not part of it.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

void ProfileText::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
    size_t header = 0;
    size_t end = 0;
    if (!FindSection(section, header, end)) {
        // A new section goes at the end, after one blank line when the file
        // has content, so that the file stays readable by hand.
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) {
            m_lines.push_back("");
        }
        m_lines.push_back("[" + section + "]");
        m_lines.push_back(key + "=" + value);
        return;
    }
    if (std::optional<size_t> line = FindKeyLine(header + 1, end, key)) {
        std::string& raw = m_lines[*line];
        raw = raw.substr(0, raw.find('=') + 1) + value;
        return;
    }
    // After the section's last non-blank line, so the blank lines that set
    // it apart from the next section stay where they are.
    size_t insert = end;
    while (insert > header + 1 && Trim(m_lines[insert - 1]).empty()) {
        --insert;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insert), key + "=" + value);
}

std::string ProfileText::Serialize() const {
    std::string out = m_bom ? kUtf8Bom : "";
    for (const std::string& line : m_lines) {
        out += line;
        out += m_newline;
    }
    return out;
}

int ProfileText::ParseLeadingInt(const std::string& text) {
    std::string value = Trim(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < value.size() && (value[pos] == '-' || value[pos] == '+')) {
        negative = value[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos + 1 < value.size() && value[pos] == '0' &&
        (value[pos + 1] == 'x' || value[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    long long magnitude = 0;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    for (; pos < value.size(); ++pos) {
        char c = value[pos];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            break;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<int>(-magnitude);
    }
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}
