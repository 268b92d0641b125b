#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads the text of one element from the small XML answers of the course
// downloader, without a full parser: from `cursor`, the first <tag ...> whose
// name is exactly `tag`, and the next </tag> after it. On success the cursor
// moves just past the opening tag's ">" and 0 is returned; -1 when the opening
// tag, its ">" or the closing tag is missing (output empty, cursor unchanged).
//
// CDATA content is unwrapped; other content gets "&lt;" and "&gt;" back as "<"
// and ">". When the document declares encoding="utf-8" near its start, the
// content is converted to the ANSI code page (if it reads as UTF-8).
int ReadXmlElement(size_t& cursor, std::string_view tag, std::string_view document,
                   std::string& output);
