#pragma once

// The loopback ports the programs of this system meet on.

// The client's command channel, called by the platform's pages (and by the
// session service to ask the client to exit).
inline constexpr int kChannelPort = 32899;
// The course downloader beside the client.
inline constexpr int kDownloaderPort = 32889;
