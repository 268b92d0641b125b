#pragma once

#include <optional>
#include <string>
#include <vector>

// The lines of one .ini file and the lookups and edits on them. Plain data:
// reading the file, locking and the atomic replacement are Profile_linux's work.
class ProfileText {
public:
    explicit ProfileText(const std::string& text);

    // The trimmed (and unquoted) value of the first matching key in the first
    // matching section; nothing when either is missing.
    std::optional<std::string> Find(const std::string& section, const std::string& key) const;

    // Replaces the first matching key's value, or appends the key at the end
    // of the first matching section, or appends a new section at the end.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    std::string Serialize() const;

    // Leading digits as the profile integer reader sees them.
    static int ParseLeadingInt(const std::string& text);

private:
    // The header line of the first matching section and the end of its body
    // (the next header or the end of the file); false when there is none.
    bool FindSection(const std::string& section, size_t& header, size_t& end) const;
    std::optional<size_t> FindKeyLine(size_t begin, size_t end, const std::string& key) const;

    std::vector<std::string> m_lines;
    std::string m_newline = "\n";  // "\r\n" when the file uses it
    bool m_bom = false;            // a UTF-8 byte order mark is kept as found
};
