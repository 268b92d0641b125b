#pragma once

// How the process's allocator treats large buffers. A megabyte hand-in is
// copied a few times between the socket and the outbox; served from fresh
// pages each time (a new per-thread heap, or memory just given back to the
// system) every copy pays one page fault per 4 KiB, which in a virtual
// machine costs more than the copy itself. Kept in one heap and not given
// back below kRetainedBytes, those buffers stay warm after the first request.
inline constexpr long kLargeBufferThreshold = 32L * 1024 * 1024;
inline constexpr long kRetainedBytes = 128L * 1024 * 1024;

// Call once, before any other thread starts.
void KeepLargeBuffersWarm();
