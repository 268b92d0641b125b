#include "recorder/AudioRecorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/recorder/TestAudio.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr long kOneSecondBytes = 88200;

// Waits for a condition the recorder's threads make true; a short nap
// between looks, since the recorder offers nothing to wait on.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class AudioRecorderTest : public testing::Test {
protected:
    void TearDown() override {
        m_recorder.StopRecording();
        m_recorder.StopPlayback();
        unsetenv("QORVANE_LAME_LIBRARY");
    }
    TempDir m_dir;
    AudioRecorder m_recorder;
};

TEST_F(AudioRecorderTest, RecordsTheInputToWavAndReturnsEveryBuffer) {
    UseTestAudio(TestDevice::Tone, m_dir.path());
    std::string path = m_dir.file("take.wav");
    ASSERT_EQ(AudioRecorder::kStarted, m_recorder.StartRecording(path));
    EXPECT_TRUE(m_recorder.IsRecording());
    EXPECT_EQ(AudioRecorder::kDeviceBusy, m_recorder.StartRecording(m_dir.file("second.wav")));
    // A second of sound, counted in buffers the device filled, not in time.
    const uint64_t wanted = (kOneSecondBytes + AudioRecorder::kBufferSize - 1) / AudioRecorder::kBufferSize;
    ASSERT_TRUE(WaitUntil([&] { return m_recorder.BuffersCaptured() >= wanted; }));
    m_recorder.StopRecording();
    const uint64_t captured = m_recorder.BuffersCaptured();
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("second.wav")));

    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.fileSize - 46, wav.dataSize);
    // Every captured buffer is in the file, and nothing else.
    EXPECT_GE(wav.dataSize, captured * AudioRecorder::kBufferSize - AudioRecorder::kBufferSize);
    EXPECT_LE(wav.dataSize, captured * AudioRecorder::kBufferSize);
    EXPECT_GE(wav.dataSize, static_cast<uint64_t>(kOneSecondBytes) - AudioRecorder::kBufferSize);
    std::vector<int16_t> left;
    for (size_t i = 0; i < wav.samples.size(); i += 2) {
        left.push_back(wav.samples[i]);
    }
    EXPECT_NEAR(kToneFrequency, DominantFrequency(left, 22050), 10);
    EXPECT_EQ(0u, m_recorder.LostPeriods());
    EXPECT_EQ(m_recorder.DeviceNames(), std::vector<std::string>{"default"});

    // Stopping twice changes nothing; the device is free for the next take.
    m_recorder.StopRecording();
    ASSERT_EQ(AudioRecorder::kStarted, m_recorder.StartRecording(m_dir.file("again.wav")));
    m_recorder.StopRecording();
    EXPECT_TRUE(ReadWav(m_dir.file("again.wav")).valid);
}

TEST_F(AudioRecorderTest, MissingEncoderGivesSixAndClosesTheDevice) {
    UseTestAudio(TestDevice::Tone, m_dir.path());
    setenv("QORVANE_LAME_LIBRARY", "/nonexistent/libmp3lame.so.0", 1);
    std::string path = m_dir.file("take.mp3");
    EXPECT_EQ(AudioRecorder::kCannotCreateOutput, m_recorder.StartRecording(path));
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_FALSE(std::filesystem::exists(path));
    // The device was closed again: a WAV take can start right away.
    EXPECT_EQ(AudioRecorder::kStarted, m_recorder.StartRecording(m_dir.file("take.wav")));
}

TEST_F(AudioRecorderTest, UncreatableOutputGivesSix) {
    UseTestAudio(TestDevice::Tone, m_dir.path());
    EXPECT_EQ(AudioRecorder::kCannotCreateOutput, m_recorder.StartRecording(m_dir.file("no/such/a.wav")));
    EXPECT_EQ(AudioRecorder::kCannotCreateOutput, m_recorder.StartRecording(m_dir.file("no/such/a.mp3")));
    EXPECT_FALSE(m_recorder.IsRecording());
}

TEST_F(AudioRecorderTest, NoInputDeviceGivesThreeAndNoFile) {
    UseTestAudio(TestDevice::NoInput, m_dir.path());
    std::string path = m_dir.file("take.wav");
    EXPECT_EQ(AudioRecorder::kNoInputDevice, m_recorder.StartRecording(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(m_recorder.DeviceNames().empty());
}

TEST_F(AudioRecorderTest, PlaybackReturnsAtOnceAndStopsOnRequest) {
    std::string played = m_dir.file("played.raw");
    UseTestAudio(TestDevice::Tone, m_dir.path(), played);
    std::string path = m_dir.file("take.wav");
    ASSERT_EQ(AudioRecorder::kStarted, m_recorder.StartRecording(path));
    ASSERT_TRUE(WaitUntil([&] { return m_recorder.BuffersCaptured() >= AudioRecorder::kBufferCount; }));
    m_recorder.StopRecording();

    ASSERT_EQ(AudioRecorder::kStarted, m_recorder.StartPlayback(path));
    EXPECT_TRUE(m_recorder.IsPlaying());
    WaitUntil([&] { return std::filesystem::file_size(played) > 0; });
    m_recorder.StopPlayback();
    EXPECT_FALSE(m_recorder.IsPlaying());
    EXPECT_GT(std::filesystem::file_size(played), 0u);
}

TEST_F(AudioRecorderTest, UnplayableFilesGiveFour) {
    UseTestAudio(TestDevice::Tone, m_dir.path(), m_dir.file("played.raw"));
    EXPECT_EQ(AudioRecorder::kDeviceBusy, m_recorder.StartPlayback(m_dir.file("missing.wav")));
    WriteWholeFile(m_dir.file("text.mp3"), "this is no audio at all");
    EXPECT_EQ(AudioRecorder::kDeviceBusy, m_recorder.StartPlayback(m_dir.file("text.mp3")));
    EXPECT_FALSE(m_recorder.IsPlaying());
}

}  // namespace
