#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The contents of one registry hive: keys (paths of names joined by "\") that
// hold string and 32-bit values. Key and value names compare ignoring ASCII
// case and keep the spelling they were created with. Plain data: reading and
// writing the file, locking and atomic replacement are Registry's work.
class RegistryHive {
public:
    enum class Type { String, Dword };
    struct Value {
        std::string name;
        Type type = Type::String;
        std::string text;
        uint32_t number = 0;
    };
    struct Key {
        std::string path;
        std::map<std::string, Value> values;  // by lower-case name
    };

    // Text form, one key per "[path]" line followed by its values:
    //   "name"="text"       (\\, \" and control bytes escaped as \xHH)
    //   "name"=dword:0000002a
    // Lines starting with ";" are comments. A malformed line fails the parse.
    bool Parse(const std::string& text);
    std::string Serialize() const;

    bool HasKey(const std::string& path) const;
    // Creates the key and every missing parent.
    void CreateKey(const std::string& path);
    // Removes the key, its values and every key below it. false when absent.
    bool DeleteKey(const std::string& path);
    const Value* FindValue(const std::string& path, const std::string& name) const;
    void SetValue(const std::string& path, const Value& value);
    bool DeleteValue(const std::string& path, const std::string& name);
    // Names of the direct sub-keys, in order.
    std::vector<std::string> SubKeys(const std::string& path) const;
    // Names of the key's values, in order; empty for a missing key.
    std::vector<std::string> ValueNames(const std::string& path) const;

    // "a\\b\\" and "/a/b" both become "a\b": one separator, no empty parts.
    static std::string NormalizePath(const std::string& path);

private:
    std::map<std::string, Key> m_keys;  // by lower-case path
};
