#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/WaveIn.h"
#include "platform/media/MediaPlayer.h"
#include "recorder/Mp3Encoder.h"
#include "recorder/RiffWriter.h"

// Records the default audio input to a WAV or MP3 file, or plays such a
// file. One recording or one playback at a time.
class AudioRecorder {
public:
    // Result codes of StartRecording and StartPlayback.
    static constexpr int kStarted = 0;
    static constexpr int kNoInputDevice = 3;
    static constexpr int kDeviceBusy = 4;  // also: the file cannot be played
    static constexpr int kNoBuffers = 5;
    static constexpr int kCannotCreateOutput = 6;
    static constexpr int kCannotStart = 7;

    // Three buffers of about 93 ms each: one is written or encoded while the
    // device fills the others.
    static constexpr size_t kBufferCount = 3;
    static constexpr size_t kBufferSize = 8192;

    static AudioRecorder& Instance();
    static WaveFormat CaptureFormat();
    // ".mp3" in any letter case right at the last ".", then anything.
    static bool IsMp3Path(const std::string& path);

    AudioRecorder() = default;
    ~AudioRecorder();
    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    int StartRecording(const std::string& path);
    // Ends capture, takes every buffer back from the device, closes it and
    // finishes the file. Does nothing when not recording.
    void StopRecording();
    bool IsRecording() const { return m_device.IsOpen(); }

    int StartPlayback(const std::string& path);
    void StopPlayback();
    bool IsPlaying() const { return m_player.IsOpen(); }

    const std::vector<std::string>& DeviceNames() const { return m_deviceNames; }
    // Capture periods lost since the recording started (the device's and
    // those that found no free buffer).
    uint64_t LostPeriods() const;
    uint64_t BuffersCaptured() const { return m_buffersCaptured.load(); }

private:
    struct Block {
        WaveBuffer header;
        std::unique_ptr<uint8_t[]> data;
    };

    void OnBuffer(WaveBuffer* buffer);
    void ReleaseBuffers();
    void CloseOutput();

    WaveIn m_device;
    std::vector<std::unique_ptr<Block>> m_buffers;
    RiffWriter m_wav;
    Mp3Encoder m_mp3;
    bool m_isMp3 = false;
    std::string m_path;
    std::vector<std::string> m_deviceNames;
    std::atomic<uint64_t> m_buffersCaptured{0};
    MediaPlayer m_player;
};
