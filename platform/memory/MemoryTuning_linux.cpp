#include "platform/memory/MemoryTuning.h"

#include <malloc.h>

void KeepLargeBuffersWarm() {
    // One heap for every thread: the ten channel threads take turns, and a
    // heap of its own would make each thread's first large request cold.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargeBufferThreshold));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kRetainedBytes));
}
