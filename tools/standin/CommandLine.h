#pragma once

#include <map>
#include <string>
#include <vector>

// "--name value" and "--name=value" options, possibly repeated, plus flags
// such as "-commandline" that never take a value. Unknown names are kept; the
// program decides.
class CommandLine {
public:
    CommandLine(int argc, char** argv, const std::vector<std::string>& flags);

    bool Has(const std::string& name) const;
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    int IntValue(const std::string& name, int fallback) const;
    long long Int64Value(const std::string& name, long long fallback) const;
    std::vector<std::string> Values(const std::string& name) const;
    // Names that the program did not ask for; reported as a usage error.
    std::vector<std::string> Unknown(const std::vector<std::string>& known) const;

private:
    std::multimap<std::string, std::string> m_options;
};

// Parses a whole decimal number; false for anything else (blanks, signs, overflow).
bool ParseInt(const std::string& text, long long& value);
