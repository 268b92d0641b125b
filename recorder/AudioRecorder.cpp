#include "recorder/AudioRecorder.h"

#include <strings.h>
#include <cstring>

#include "foundation/CLog.h"

namespace {

constexpr uint16_t kChannels = 2;
constexpr uint32_t kSampleRate = 22050;
constexpr uint16_t kBitsPerSample = 16;
constexpr char kMp3Extension[] = ".mp3";

}  // namespace

AudioRecorder& AudioRecorder::Instance() {
    static AudioRecorder recorder;
    return recorder;
}

AudioRecorder::~AudioRecorder() {
    StopRecording();
    StopPlayback();
}

WaveFormat AudioRecorder::CaptureFormat() {
    WaveFormat format;
    format.formatTag = WaveFormat::kPcm;
    format.channels = kChannels;
    format.samplesPerSec = kSampleRate;
    format.bitsPerSample = kBitsPerSample;
    format.blockAlign = kChannels * kBitsPerSample / 8;
    format.avgBytesPerSec = kSampleRate * format.blockAlign;
    format.extraSize = 0;
    return format;
}

bool AudioRecorder::IsMp3Path(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    return strncasecmp(path.c_str() + dot, kMp3Extension, strlen(kMp3Extension)) == 0;
}

uint64_t AudioRecorder::LostPeriods() const {
    return m_device.Overruns() + m_device.DroppedBytes() / kBufferSize;
}

int AudioRecorder::StartRecording(const std::string& path) {
    m_deviceNames = WaveIn::CaptureDeviceNames();
    if (m_deviceNames.empty()) {
        REC_DEBUG("no audio input device");
        return kNoInputDevice;
    }
    if (m_device.IsOpen()) {
        REC_DEBUG("already recording");
        return kDeviceBusy;
    }
    m_isMp3 = IsMp3Path(path);
    m_path = path;
    m_buffersCaptured = 0;

    WaveFormat format = CaptureFormat();
    int err = m_device.Open(format, kBufferSize, kBufferCount,
                            [this](WaveBuffer* buffer) { OnBuffer(buffer); });
    if (err != 0) {
        REC_DEBUG("open input device failed %d", err);
        return kDeviceBusy;
    }

    ReleaseBuffers();
    for (size_t i = 0; i < kBufferCount; ++i) {
        auto block = std::make_unique<Block>();
        block->data.reset(new (std::nothrow) uint8_t[kBufferSize]);
        if (!block->data) {
            continue;
        }
        memset(block->data.get(), 0, kBufferSize);
        block->header.data = block->data.get();
        block->header.size = kBufferSize;
        block->header.user = i;
        if (m_device.AddBuffer(&block->header) != 0) {
            continue;
        }
        m_buffers.push_back(std::move(block));
    }
    if (m_buffers.empty()) {
        m_device.Close();
        return kNoBuffers;
    }

    bool opened = m_isMp3 ? m_mp3.Start(path, format, kBufferSize) : m_wav.Open(path, format);
    if (!opened) {
        REC_DEBUG("cannot create output %s", path.c_str());
        m_device.Reset();
        m_device.Close();
        ReleaseBuffers();
        return kCannotCreateOutput;
    }

    err = m_device.Start();
    if (err != 0) {
        REC_DEBUG("start input device failed %d", err);
        m_device.Reset();
        m_device.Close();
        ReleaseBuffers();
        CloseOutput();
        return kCannotStart;
    }
    REC_DEBUG("recording to %s", path.c_str());
    return kStarted;
}

// Runs on the device's capture thread.
void AudioRecorder::OnBuffer(WaveBuffer* buffer) {
    if (!buffer->done) {
        return;
    }
    ++m_buffersCaptured;
    if (buffer->recorded > 0) {
        if (m_isMp3) {
            m_mp3.EncodeChunk(buffer->data, buffer->recorded);
        } else {
            m_wav.Write(buffer->data, buffer->recorded);
        }
    }
    memset(buffer->data, 0, buffer->size);
    m_device.AddBuffer(buffer);
}

void AudioRecorder::ReleaseBuffers() {
    m_buffers.clear();
}

void AudioRecorder::CloseOutput() {
    if (m_isMp3) {
        m_mp3.Finish();
    } else {
        m_wav.Close();
    }
}

void AudioRecorder::StopRecording() {
    if (!m_device.IsOpen()) {
        return;
    }
    // Stop first: the last, partly filled buffer is written on the way out.
    m_device.Stop();
    // Every buffer is back from the device before it closes and the blocks go.
    m_device.Reset();
    m_device.Close();
    ReleaseBuffers();
    CloseOutput();
    REC_DEBUG("recording stopped, %llu buffers",
              static_cast<unsigned long long>(m_buffersCaptured.load()));
}

int AudioRecorder::StartPlayback(const std::string& path) {
    m_isMp3 = IsMp3Path(path);
    if (m_player.Open(path) != 0) {
        REC_DEBUG("cannot open %s: %s", path.c_str(), m_player.ErrorText().c_str());
        return kDeviceBusy;
    }
    if (m_player.Play() != 0) {
        REC_DEBUG("cannot play %s: %s", path.c_str(), m_player.ErrorText().c_str());
        m_player.Close();
        return kCannotStart;
    }
    return kStarted;
}

void AudioRecorder::StopPlayback() {
    if (!m_player.IsOpen()) {
        return;
    }
    m_player.Stop();
    m_player.Close();
}
