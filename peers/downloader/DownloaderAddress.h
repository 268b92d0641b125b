#pragma once

#include "foundation/LocalPorts.h"

// Where the course downloader listens: 127.0.0.1 and DownloaderPort().
constexpr const char* kDownloaderHost = "127.0.0.1";

// A TCP connection accepted within the time counts as the downloader running.
bool DownloaderAccepts(int timeoutMs);
