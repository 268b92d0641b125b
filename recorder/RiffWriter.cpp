#include "recorder/RiffWriter.h"

#include <algorithm>
#include <vector>

namespace {

// Byte positions of the two sizes the header leaves open.
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 12 + 8 + RiffWriter::kFormatChunkSize + 4;
// A RIFF chunk size field cannot say more.
constexpr uint64_t kMaxChunkSize = 0xFFFFFFFFull;

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

bool WriteU32At(FILE* file, long offset, uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return fseek(file, offset, SEEK_SET) == 0 && fwrite(bytes, 1, 4, file) == 4;
}

}  // namespace

RiffWriter::~RiffWriter() {
    Close();
}

bool RiffWriter::Open(const std::string& path, const WaveFormat& format) {
    Close();
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::vector<uint8_t> header;
    PutTag(header, "RIFF");
    PutU32(header, 0);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    PutU32(header, kFormatChunkSize);
    PutU16(header, format.formatTag);
    PutU16(header, format.channels);
    PutU32(header, format.samplesPerSec);
    PutU32(header, format.avgBytesPerSec);
    PutU16(header, format.blockAlign);
    PutU16(header, format.bitsPerSample);
    PutU16(header, format.extraSize);
    PutTag(header, "data");
    PutU32(header, 0);
    if (fwrite(header.data(), 1, header.size(), file) != header.size()) {
        fclose(file);
        return false;
    }
    m_file = file;
    m_dataSize = 0;
    return true;
}

bool RiffWriter::Write(const void* data, size_t size) {
    if (m_file == nullptr) {
        return false;
    }
    size_t written = fwrite(data, 1, size, m_file);
    m_dataSize += written;
    return written == size;
}

bool RiffWriter::Close() {
    if (m_file == nullptr) {
        return true;
    }
    bool ok = true;
    // Chunks are padded to an even length; the pad byte is not in the size.
    uint64_t padded = m_dataSize + (m_dataSize & 1);
    if (m_dataSize & 1) {
        ok = fputc(0, m_file) != EOF;
    }
    uint64_t riffSize = 4 + (8 + kFormatChunkSize) + 8 + padded;
    if (riffSize > kMaxChunkSize) {
        ok = false;
    }
    ok = WriteU32At(m_file, kDataSizeOffset,
                    static_cast<uint32_t>(std::min(m_dataSize, kMaxChunkSize))) &&
         ok;
    ok = WriteU32At(m_file, kRiffSizeOffset,
                    static_cast<uint32_t>(std::min(riffSize, kMaxChunkSize))) &&
         ok;
    ok = fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
}
