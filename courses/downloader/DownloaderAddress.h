#pragma once

// Where the course downloader listens: 127.0.0.1:32889, or the port in
// QORVANE_DOWNLOADER_PORT (tests run their own downloader beside a real one).
constexpr const char* kDownloaderHost = "127.0.0.1";
constexpr int kDownloaderPort = 32889;
constexpr const char* kDownloaderPortEnvironment = "QORVANE_DOWNLOADER_PORT";

int DownloaderPort();

// A TCP connection accepted within the time counts as the downloader running.
bool DownloaderAccepts(int timeoutMs);
