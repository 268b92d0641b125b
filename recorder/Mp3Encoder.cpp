#include "recorder/Mp3Encoder.h"

#include "foundation/CLog.h"

namespace {

// The encoder's worst case for one call: 1.25 bytes per sample frame plus
// 7200 bytes.
size_t OutputBufferSize(size_t frames) {
    return frames + frames / 4 + 7200;
}

// A tag frame is one MP3 frame: at most 2881 bytes at the highest bitrates.
constexpr size_t kMaxTagFrameSize = 2881;

}  // namespace

BeConfig MakeBeConfig(const WaveFormat& capture) {
    BeConfig config;
    config.dwSampleRate = capture.samplesPerSec;
    config.dwReSampleRate = 0;
    config.nMode = capture.channels == 1 ? BeConfig::kModeMono : BeConfig::kModeJointStereo;
    config.dwBitrate = Mp3Encoder::kBitrateKbps;
    config.nPreset = Mp3Encoder::kPreset;
    config.dwMpegVersion = BeConfig::kMpeg1;
    config.bOriginal = true;
    config.bWriteVBRHeader = true;
    config.bNoRes = true;
    return config;
}

LameSettings ToLameSettings(const BeConfig& config) {
    LameSettings settings;
    settings.inSampleRate = static_cast<int>(config.dwSampleRate);
    settings.mode =
        config.nMode == BeConfig::kModeMono ? LameSettings::kMono : LameSettings::kJointStereo;
    settings.channels = config.nMode == BeConfig::kModeMono ? 1 : 2;
    settings.bitrateKbps = static_cast<int>(config.dwBitrate);
    settings.original = config.bOriginal;
    settings.writeInfoTag = config.bWriteVBRHeader;
    settings.disableReservoir = config.bNoRes;
    return settings;
}

Mp3Encoder::~Mp3Encoder() {
    Release();
}

void Mp3Encoder::Release() {
    if (m_file != nullptr) {
        fclose(m_file);
        m_file = nullptr;
    }
    m_lame.Unload();
    m_output.clear();
    m_output.shrink_to_fit();
}

bool Mp3Encoder::Start(const std::string& path, const WaveFormat& format, size_t maxChunkBytes) {
    Release();
    if (!m_lame.Load()) {
        REC_DEBUG("mp3 encoder library not found");
        return false;
    }
    REC_DEBUG("mp3 encoder %s", m_lame.Version().c_str());
    m_file = fopen(path.c_str(), "wb+");
    if (m_file == nullptr) {
        REC_DEBUG("cannot create %s", path.c_str());
        Release();
        return false;
    }
    if (m_lame.InitStream(ToLameSettings(MakeBeConfig(format))) != 0) {
        REC_DEBUG("mp3 stream init failed");
        Release();
        return false;
    }
    m_channels = format.channels;
    m_output.assign(OutputBufferSize(maxChunkBytes / format.blockAlign), 0);
    m_path = path;
    m_written = 0;
    return true;
}

void Mp3Encoder::EncodeChunk(const uint8_t* data, size_t bytes) {
    if (m_file == nullptr || !m_lame.HasStream()) {
        return;
    }
    size_t samples = bytes / sizeof(int16_t);
    int frames = static_cast<int>(samples / static_cast<size_t>(m_channels));
    int produced = m_lame.Encode(reinterpret_cast<const int16_t*>(data), frames, m_output.data(),
                                 static_cast<int>(m_output.size()));
    if (produced < 0) {
        REC_DEBUG("mp3 encode failed %d", produced);
        m_lame.CloseStream();
        return;
    }
    m_written += fwrite(m_output.data(), 1, static_cast<size_t>(produced), m_file);
}

bool Mp3Encoder::WriteInfoTag() {
    uint8_t tag[kMaxTagFrameSize];
    size_t size = m_lame.InfoTag(tag, sizeof(tag));
    if (size == 0 || size > sizeof(tag)) {
        return false;
    }
    // The stream began with a placeholder frame of the same size.
    FILE* file = fopen(m_path.c_str(), "r+b");
    if (file == nullptr) {
        return false;
    }
    bool ok = fwrite(tag, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

bool Mp3Encoder::Finish() {
    if (m_file == nullptr) {
        return false;
    }
    bool ok = false;
    if (m_lame.HasStream()) {
        int produced = m_lame.Flush(m_output.data(), static_cast<int>(m_output.size()));
        if (produced >= 0) {
            size_t written = fwrite(m_output.data(), 1, static_cast<size_t>(produced), m_file);
            m_written += written;
            ok = written == static_cast<size_t>(produced);
        }
    }
    ok = fclose(m_file) == 0 && ok;
    m_file = nullptr;
    // The tag describes the complete stream, so it goes in last.
    if (ok) {
        ok = WriteInfoTag();
    }
    if (!ok) {
        REC_DEBUG("mp3 file %s not finished cleanly", m_path.c_str());
    }
    Release();
    return ok;
}
