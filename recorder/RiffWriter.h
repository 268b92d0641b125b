#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/audio/WaveFormat.h"

// Writes a WAV file: a RIFF "WAVE" form holding an 18-byte "fmt " chunk (the
// format record with its extra-size field) and a "data" chunk. The chunk
// sizes are written as zero first and fixed by Close().
class RiffWriter {
public:
    static constexpr uint32_t kFormatChunkSize = 18;

    RiffWriter() = default;
    ~RiffWriter();
    RiffWriter(const RiffWriter&) = delete;
    RiffWriter& operator=(const RiffWriter&) = delete;

    // Creates (or truncates) the file and writes the header up to the start
    // of the sample data.
    bool Open(const std::string& path, const WaveFormat& format);
    bool IsOpen() const { return m_file != nullptr; }
    bool Write(const void* data, size_t size);
    // Fixes the sizes and closes the file; false when the file could not be
    // finished (it is closed all the same).
    bool Close();

    uint64_t DataSize() const { return m_dataSize; }

private:
    FILE* m_file = nullptr;
    uint64_t m_dataSize = 0;
};
