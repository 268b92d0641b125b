#pragma once

#include <string>

// Private profile (.ini) files, read and written the way the settings code
// expects from them:
//   - section and key names compare ignoring ASCII case;
//   - values are trimmed of blanks; a value wrapped in one pair of matching
//     quotes loses the quotes;
//   - a missing file, section or key reads as the caller's default;
//   - a write keeps every other line (comments, blank lines, order) as it was,
//     creating the file, the section or the key when needed.
// Each write rewrites the file under an exclusive lock and replaces it with a
// rename, so a reader never sees half a file and a crash never leaves a torn
// settings file behind. Texts are bytes (UTF-8 in practice); nothing is
// converted.

// The value, or defaultText when the file, section or key is missing.
std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& defaultText, const std::string& path);

// The leading decimal digits of the value (an optional sign first), or
// defaultValue when the key is missing. A value without leading digits reads
// as 0; a value beyond the int range saturates.
int ProfileReadInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path);

// true on success. Section and key must be non-empty and free of line breaks,
// "]" in the section and "=" in the key; the text must be free of line breaks.
bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& text, const std::string& path);
