#pragma once

#include <string>

// Waits until another program has written a file: true as soon as a file at
// path has been written and closed or moved there (or already exists), false
// after timeoutMs. The wait sleeps until the file system reports a change.
bool WaitForFileWritten(const std::string& path, int timeoutMs);
