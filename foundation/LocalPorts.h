#pragma once

// The loopback ports the programs of this system meet on, and the variables
// that move them (tests run their own client or downloader beside a real one).

// The client's command channel, called by the platform's pages (and by the
// session service to ask the client to exit).
inline constexpr int kChannelPort = 32899;
inline constexpr const char* kChannelPortEnvironment = "QORVANE_CHANNEL_PORT";
// The course downloader beside the client.
inline constexpr int kDownloaderPort = 32889;
inline constexpr const char* kDownloaderPortEnvironment = "QORVANE_DOWNLOADER_PORT";

// The port a variable names: a whole decimal number from 1 to 65535; unset,
// empty or anything else ("123abc", "0", "70000") gives the fixed one.
int PortFromEnvironment(const char* name, int fixed);

// The ports in use: the fixed ones unless the variables above say otherwise.
int ChannelPort();
int DownloaderPort();
