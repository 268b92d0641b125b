#pragma once

#include <cstdint>

// PCM sample layout, field for field the waveform format record that WAV
// files store in their "fmt " chunk.
struct WaveFormat {
    static constexpr uint16_t kPcm = 1;

    uint16_t formatTag = kPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};
