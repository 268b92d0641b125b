#pragma once

#include <string>
#include <string_view>

// File and directory helpers on native paths. Backslashes in the input are
// read as separators, so paths written the old way ("C:\a\b") still split.

// Whether a file can be created in the directory: creates a uniquely named
// scratch file there and removes it again.
bool IsDirectoryWritable(const std::string& directory);

// A name a page may put into one of our file names: true when it names
// nothing beyond itself (not empty, not "." or "..", no "/", "\" or NUL).
bool IsPlainFileName(std::string_view name);

// Creates every directory of the path in turn. Empty and "." components are
// dropped and ".." removes the component before it; a leading separator keeps
// the path absolute. Returns -1 for a path shorter than 2 characters or when the
// whole tree does not exist afterwards, 0 when it does.
int MakeDirectoryTree(const std::string& path);

// Rewrites a path of two or more characters with "/" separators, dropping empty
// and "." components and letting ".." remove the component before it; a
// leading and a trailing separator are kept. Creates nothing. A relative path
// that reduces to nothing becomes ".".
void NormalizePath(std::string& path);

#include <cstdio>

// The size of an open file in bytes; 0 when it cannot be told.
long OpenFileSize(FILE* file);

// Replaces the file's content with the bytes. -1 when the file cannot be
// opened or not every byte reaches it, 0 otherwise.
int WriteFileBytes(const std::string& path, std::string_view bytes);
