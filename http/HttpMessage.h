#pragma once

#include <map>
#include <string>
#include <string_view>

#include "foundation/TextUtil.h"  // EqualsIgnoreCase

// Header names compare byte by byte: "Content-Length" and "content-length" are
// two entries. Iteration (and so serialisation) follows that byte order.
using HeaderMap = std::map<std::string, std::string>;

// Parameters are stored in byte order too, but looked up ignoring ASCII case
// (see CHttpRequest::AddParam / GetParam).
using ParamMap = std::map<std::string, std::string>;

// Spaces, tabs, CR and LF removed at both ends.
std::string TrimHttp(std::string_view text);

// The header rules shared by requests and responses: a name that is empty or
// holds ":", a space or any other control character is rejected (-1); the value is trimmed and
// every tab, CR and LF inside it becomes a space, so a value can never split a header line.
int SetHeaderIn(HeaderMap& headers, const std::string& name, const std::string& value);
int GetHeaderIn(const HeaderMap& headers, const std::string& name, std::string& value);

// A message cut at its first line end and at its empty line: the start line,
// the header lines between them (empty when there are none) and the rest.
struct MessageParts {
    std::string_view startLine;
    std::string_view headerBlock;
    std::string_view body;
};
// false when the message has no "\r\n" or no "\r\n\r\n".
bool SplitMessage(std::string_view text, MessageParts& parts);

// The next word of a start line: spaces from pos on are skipped, the word
// runs to the next space, and pos ends on that space. false when nothing but
// spaces is left or no space ends the word.
bool NextWord(std::string_view line, size_t& pos, std::string_view& word);

// Header lines of a received message ("name: value" separated by CR LF): a line
// without ":" fails the block (-1, the lines before it stay); names and values
// are trimmed and a later line replaces an earlier one of the same name.
int ParseHeaderBlock(std::string_view block, HeaderMap& headers);
