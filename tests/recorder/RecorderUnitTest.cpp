#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ipc/IpcName.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/ipc/SharedMemory.h"
#include "recorder/AudioRecorder.h"
#include "recorder/Mp3Encoder.h"
#include "recorder/RecorderControl.h"
#include "recorder/RiffWriter.h"
#include "tests/recorder/TestAudio.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

TEST(RecorderPaths, Mp3IsChosenByTheTextAtTheLastDot) {
    EXPECT_TRUE(AudioRecorder::IsMp3Path("/tmp/a.mp3"));
    EXPECT_TRUE(AudioRecorder::IsMp3Path("/tmp/a.Mp3"));
    EXPECT_TRUE(AudioRecorder::IsMp3Path("/tmp/a.wav.MP3"));
    // Only the first four characters from the dot count.
    EXPECT_TRUE(AudioRecorder::IsMp3Path("/tmp/a.mp3x"));
    EXPECT_FALSE(AudioRecorder::IsMp3Path("/tmp/a.mp3.wav"));
    EXPECT_FALSE(AudioRecorder::IsMp3Path("/tmp/a.mp"));
    EXPECT_FALSE(AudioRecorder::IsMp3Path("/tmp/noextension"));
    EXPECT_FALSE(AudioRecorder::IsMp3Path("/tmp/a.ogg"));
}

TEST(RecorderControl, RequestIdReadsLikeAtoi) {
    EXPECT_EQ(17, ParseRequestId("17"));
    EXPECT_EQ(42, ParseRequestId("  42abc"));
    EXPECT_EQ(-5, ParseRequestId("-5"));
    EXPECT_EQ(7, ParseRequestId("+7"));
    EXPECT_EQ(0, ParseRequestId("abc"));
    EXPECT_EQ(0, ParseRequestId(""));
    EXPECT_EQ(INT_MAX, ParseRequestId("99999999999999999999"));
    EXPECT_EQ(INT_MIN, ParseRequestId("-99999999999999999999"));
}

TEST(RecorderControl, ResultMessageIsZeroPaddedToFortyBytes) {
    auto message = FormatResultMessage(17, 0);
    EXPECT_STREQ("17|0", message.data());
    for (size_t i = 4; i < message.size(); ++i) {
        EXPECT_EQ('\0', message[i]) << i;
    }
    EXPECT_STREQ("-2147483648|7", FormatResultMessage(INT_MIN, 7).data());
}

TEST(Mp3Config, CaptureFormatMapsOntoTheEncoderSettings) {
    // The encoder follows the capture format through both settings records.
    WaveFormat stereo = AudioRecorder::CaptureFormat();
    BeConfig config = MakeBeConfig(stereo);
    EXPECT_EQ(stereo.samplesPerSec, config.dwSampleRate);
    EXPECT_EQ(BeConfig::kModeJointStereo, config.nMode);

    LameSettings lame = ToLameSettings(config);
    EXPECT_EQ(static_cast<int>(stereo.samplesPerSec), lame.inSampleRate);
    EXPECT_EQ(stereo.channels, lame.channels);
    EXPECT_EQ(LameSettings::kJointStereo, lame.mode);
    EXPECT_EQ(static_cast<int>(config.dwBitrate), lame.bitrateKbps);
    EXPECT_EQ(config.bWriteVBRHeader, lame.writeInfoTag);
    EXPECT_EQ(config.bNoRes, lame.disableReservoir);

    WaveFormat mono = stereo;
    mono.channels = 1;
    EXPECT_EQ(BeConfig::kModeMono, MakeBeConfig(mono).nMode);
    EXPECT_EQ(LameSettings::kMono, ToLameSettings(MakeBeConfig(mono)).mode);
    EXPECT_EQ(1, ToLameSettings(MakeBeConfig(mono)).channels);
}

TEST(RiffWriter, WritesTheHeaderAndFixesBothSizesOnClose) {
    TempDir dir;
    std::string path = dir.file("a.wav");
    RiffWriter writer;
    ASSERT_TRUE(writer.Open(path, AudioRecorder::CaptureFormat()));
    int16_t samples[6] = {1, -1, 2, -2, 3, -3};
    ASSERT_TRUE(writer.Write(samples, sizeof(samples)));
    ASSERT_TRUE(writer.Write(samples, 3));  // an odd length gets a pad byte
    ASSERT_TRUE(writer.Close());

    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(18u, wav.formatSize);
    EXPECT_EQ(1, wav.formatTag);
    EXPECT_EQ(2, wav.channels);
    EXPECT_EQ(22050u, wav.samplesPerSec);
    EXPECT_EQ(88200u, wav.avgBytesPerSec);
    EXPECT_EQ(4, wav.blockAlign);
    EXPECT_EQ(16, wav.bitsPerSample);
    EXPECT_EQ(0, wav.extraSize);
    EXPECT_EQ(15u, wav.dataSize);
    EXPECT_EQ(46u + 16u, wav.fileSize);
    EXPECT_EQ(wav.fileSize - 8, wav.riffSize);
    EXPECT_EQ(-3, wav.samples[5]);
}

TEST(RiffWriter, UncreatableFileFails) {
    TempDir dir;
    RiffWriter writer;
    EXPECT_FALSE(writer.Open(dir.file("missing/a.wav"), AudioRecorder::CaptureFormat()));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(writer.Write("x", 1));
}

class IpcTest : public testing::Test {
protected:
    void SetUp() override {
        m_prefix = "qvunit" + std::to_string(getpid()) + "_";
        setenv(kIpcPrefixEnvironment, m_prefix.c_str(), 1);
    }
    void TearDown() override {
        NamedEvent::Remove("Global\\ev");
        NamedEvent::Remove("ev");
        SharedMemory::Remove("Global\\mem");
        unsetenv(kIpcPrefixEnvironment);
    }
    std::string m_prefix;
};

TEST_F(IpcTest, GlobalNamesAreMachineWideOthersPerUser) {
    EXPECT_EQ("/" + m_prefix + "_MAP_SHARE_MEMORY_Recorder", PosixIpcName("Global\\_MAP_SHARE_MEMORY_Recorder"));
    std::string user = "." + std::to_string(getuid());
    EXPECT_EQ("/" + m_prefix + "QORVAEN_Recorder" + user, PosixIpcName("QORVAEN_Recorder"));
    EXPECT_EQ("/" + m_prefix + "x" + user, PosixIpcName("Local\\x"));
    EXPECT_EQ("/" + m_prefix + "a_b_c" + user, PosixIpcName("a/b\\c"));
}

TEST_F(IpcTest, EventIsAutoResetAndHoldsOneSignal) {
    NamedEvent setter, waiter;
    ASSERT_EQ(0, setter.CreateOrOpen("Global\\ev"));
    ASSERT_EQ(0, waiter.Open("Global\\ev"));
    EXPECT_EQ(NamedEvent::WaitResult::TimedOut, waiter.Wait(20ms));
    EXPECT_EQ(0, setter.Set());
    EXPECT_EQ(0, setter.Set());
    EXPECT_EQ(NamedEvent::WaitResult::Signalled, waiter.Wait(1s));
    EXPECT_EQ(NamedEvent::WaitResult::TimedOut, waiter.Wait(20ms));
    setter.Set();
    waiter.Reset();
    EXPECT_EQ(NamedEvent::WaitResult::TimedOut, waiter.Wait(20ms));

    struct stat st {};
    ASSERT_EQ(0, stat(("/dev/shm/sem." + m_prefix + "ev").c_str(), &st));
    EXPECT_EQ(0666u, st.st_mode & 0777);
}

TEST_F(IpcTest, MissingEventCannotBeOpenedAndItsWaitFailsAtOnce) {
    NamedEvent event;
    EXPECT_EQ(ENOENT, event.Open("ev"));
    EXPECT_FALSE(event.IsOpen());
    EXPECT_EQ(NamedEvent::WaitResult::Failed, event.Wait());
    EXPECT_EQ(EBADF, event.Set());
}

TEST_F(IpcTest, SharedMemoryIsOneBlockForEveryone) {
    mode_t old = umask(077);
    SharedMemory first, second;
    ASSERT_EQ(0, first.CreateOrOpen("Global\\mem", 65536));
    umask(old);
    ASSERT_EQ(0, first.Map());
    ASSERT_EQ(0, second.CreateOrOpen("Global\\mem", 65536));
    ASSERT_EQ(0, second.Map());
    strcpy(static_cast<char*>(first.Data()) + 65000, "seen");
    EXPECT_STREQ("seen", static_cast<const char*>(second.Data()) + 65000);

    struct stat st {};
    ASSERT_EQ(0, stat(("/dev/shm/" + m_prefix + "mem").c_str(), &st));
    EXPECT_EQ(0666u, st.st_mode & 0777);
    EXPECT_EQ(65536, st.st_size);
}

}  // namespace
