#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/WaveFormat.h"
#include "platform/mp3/LameLibrary.h"

// The encoder configuration of the recorder in the encoder DLL's own record
// layout and terms (LAME variant), kept so that the values stay recognisable.
struct BeConfig {
    static constexpr uint32_t kConfigLame = 256;
    static constexpr uint32_t kStructSize = 331;
    static constexpr int32_t kModeJointStereo = 1;
    static constexpr int32_t kModeMono = 3;
    static constexpr uint32_t kMpeg1 = 1;

    uint32_t dwConfig = kConfigLame;
    uint32_t dwStructVersion = 1;
    uint32_t dwStructSize = kStructSize;
    uint32_t dwSampleRate = 0;
    uint32_t dwReSampleRate = 0;
    int32_t nMode = kModeJointStereo;
    uint32_t dwBitrate = 0;
    int32_t nPreset = 0;
    uint32_t dwMpegVersion = kMpeg1;
    bool bOriginal = false;
    bool bWriteVBRHeader = false;
    bool bNoRes = false;
};

BeConfig MakeBeConfig(const WaveFormat& capture);
// The configuration in LAME's own settings. The MPEG version follows from
// the sample rate (22050 Hz is MPEG-2) and the quality preset has no CBR
// counterpart, so neither is passed on.
LameSettings ToLameSettings(const BeConfig& config);

// Encodes captured PCM chunks into an MP3 file and, when finished, writes the
// VBR/Info tag into the file's first frame.
class Mp3Encoder {
public:
    static constexpr uint32_t kBitrateKbps = 128;
    static constexpr int32_t kPreset = 4;

    Mp3Encoder() = default;
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder&) = delete;
    Mp3Encoder& operator=(const Mp3Encoder&) = delete;

    // Loads the library, creates the file and starts the stream for chunks of
    // up to `maxChunkBytes`. False leaves nothing open.
    bool Start(const std::string& path, const WaveFormat& format, size_t maxChunkBytes);
    bool IsActive() const { return m_file != nullptr; }
    // Encodes `bytes` of 16-bit samples. A failing stream is closed; later
    // chunks then produce nothing.
    void EncodeChunk(const uint8_t* data, size_t bytes);
    // Flushes the stream, closes the file and writes the tag. The file is
    // closed and the library unloaded even when a step fails; false then.
    bool Finish();

    uint64_t BytesWritten() const { return m_written; }

private:
    bool WriteInfoTag();
    void Release();

    LameLibrary m_lame;
    std::string m_path;
    FILE* m_file = nullptr;
    std::vector<uint8_t> m_output;
    int m_channels = 0;
    uint64_t m_written = 0;
};
