#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A private ALSA configuration for one test: ALSA_CONFIG_PATH points at it,
// so no sound card or system setting takes part.
enum class TestDevice {
    Tone,     // the default device captures a tone and plays into a file
    NoInput,  // nothing can capture
};

constexpr int kToneFrequency = 1000;

// Writes the configuration into `folder` and selects it for this process and
// the processes it starts. `playedFile` receives what is played.
void UseTestAudio(TestDevice device, const std::string& folder, const std::string& playedFile = "");

struct WavInfo {
    bool valid = false;
    uint32_t riffSize = 0;
    uint32_t formatSize = 0;
    uint16_t formatTag = 0, channels = 0, blockAlign = 0, bitsPerSample = 0, extraSize = 0;
    uint32_t samplesPerSec = 0, avgBytesPerSec = 0;
    uint32_t dataSize = 0;
    uint64_t fileSize = 0;
    std::vector<int16_t> samples;
};

WavInfo ReadWav(const std::string& path);

// Decodes any audio file GStreamer understands to mono 16-bit samples.
bool DecodeToMono(const std::string& path, std::vector<int16_t>& samples, int& rate);

// The strongest frequency between 100 and 5000 Hz, in 5 Hz steps.
double DominantFrequency(const std::vector<int16_t>& samples, int rate);
