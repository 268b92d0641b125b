// The recorder program and its controller as real processes, driven through
// the named objects the way the controlling process drives them.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/ipc/IpcName.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/ipc/SharedMemory.h"
#include "tests/recorder/TestAudio.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

const std::string kRecorder = std::string(QORVANE_BIN_DIR) + "/QorvaneRecorder";
const std::string kController = std::string(QORVANE_BIN_DIR) + "/recorder-controller";
constexpr const char* kSharedName = "Global\\_MAP_SHARE_MEMORY_Recorder";
constexpr const char* kNotifyName = "Global\\_IPC_NOTIFY_EVENT_Recorder";
constexpr const char* kStopName = "QORVAEN_Recorder";
constexpr size_t kSharedSize = 65536;
constexpr long kBufferBytes = 8192;
constexpr long kBytesPerSecond = 88200;

class Process {
public:
    explicit Process(std::vector<std::string> args, int* outFd = nullptr) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int pipeFds[2] = {-1, -1};
        if (outFd != nullptr && pipe2(pipeFds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        }
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (outFd != nullptr) {
            close(pipeFds[1]);
            *outFd = pipeFds[0];
        }
        m_pidFd = m_pid > 0 ? static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0)) : -1;
    }
    ~Process() {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_pidFd >= 0) {
            close(m_pidFd);
        }
    }
    bool Started() const { return m_pid > 0; }
    bool Signal(int signal) { return m_pid > 0 && kill(m_pid, signal) == 0; }
    // Waits for the exit; false when the process still runs after `limit`.
    bool WaitExit(std::chrono::milliseconds limit, int* status = nullptr) {
        pollfd fd{m_pidFd, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(limit.count())) <= 0) {
            return false;
        }
        int raw = 0;
        waitpid(m_pid, &raw, 0);
        m_reaped = true;
        if (status != nullptr) {
            *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return true;
    }

private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
    bool m_reaped = false;
};

class RecorderProcessTest : public testing::Test {
protected:
    void SetUp() override {
        // Objects of our own, so that a real recorder on this machine and
        // other test runs are not disturbed.
        m_prefix = "qvtest" + std::to_string(getpid()) + "_" + std::to_string(++s_count) + "_";
        setenv(kIpcPrefixEnvironment, m_prefix.c_str(), 1);
        setenv("QORVANE_RECORDER_LOG", m_dir.file("recorder").c_str(), 1);
        UseTestAudio(TestDevice::Tone, m_dir.path(), m_dir.file("played.raw"));
    }
    void TearDown() override {
        NamedEvent::Remove(kStopName);
        NamedEvent::Remove(kNotifyName);
        SharedMemory::Remove(kSharedName);
        unsetenv("QORVANE_LAME_LIBRARY");
        if (HasFailure()) {
            std::cerr << "recorder log:\n" << ReadWholeFile(m_dir.file("recorder_0.log"));
        }
    }

    // The controlling side: the stop event first, then the shared block and
    // the notify event, opened before the recorder starts.
    void OpenControl(bool withStopEvent = true) {
        if (withStopEvent) {
            ASSERT_EQ(0, m_stop.CreateOrOpen(kStopName));
        }
        ASSERT_EQ(0, m_shared.CreateOrOpen(kSharedName, kSharedSize));
        ASSERT_EQ(0, m_shared.Map());
        ASSERT_EQ(0, m_notify.CreateOrOpen(kNotifyName));
    }

    std::string AwaitResult() {
        if (m_notify.Wait(10s) != NamedEvent::WaitResult::Signalled) {
            return "none";
        }
        return std::string(static_cast<const char*>(m_shared.Data()));
    }

    TempDir m_dir;
    std::string m_prefix;
    NamedEvent m_stop;
    NamedEvent m_notify;
    SharedMemory m_shared;
    static int s_count;
};

int RecorderProcessTest::s_count = 0;

TEST_F(RecorderProcessTest, RecordsTwoSecondsOfWavUntilTheStopEvent) {
    OpenControl();
    memset(m_shared.Data(), 'x', kSharedSize);
    std::string path = m_dir.file("take.wav");
    Process recorder({kRecorder, "0", "17", path});
    ASSERT_TRUE(recorder.Started());
    ASSERT_EQ("17|0", AwaitResult());
    // The whole block was cleared before the message went in.
    const char* block = static_cast<const char*>(m_shared.Data());
    EXPECT_EQ(kSharedSize - 4,
              static_cast<size_t>(std::count(block + 4, block + kSharedSize, '\0')));
    struct stat st {};
    ASSERT_EQ(0, stat(("/dev/shm/" + m_prefix + "_MAP_SHARE_MEMORY_Recorder").c_str(), &st));
    EXPECT_EQ(0666u, st.st_mode & 0777);

    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(recorder.WaitExit(0ms));
    m_stop.Set();
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);

    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.fileSize - 8, wav.riffSize);
    EXPECT_EQ(18u, wav.formatSize);
    EXPECT_EQ(1, wav.formatTag);
    EXPECT_EQ(2, wav.channels);
    EXPECT_EQ(22050u, wav.samplesPerSec);
    EXPECT_EQ(88200u, wav.avgBytesPerSec);
    EXPECT_EQ(4, wav.blockAlign);
    EXPECT_EQ(16, wav.bitsPerSample);
    EXPECT_EQ(0, wav.extraSize);
    EXPECT_EQ(wav.fileSize - 46, wav.dataSize);
    EXPECT_NEAR(2 * kBytesPerSecond, static_cast<long>(wav.dataSize), kBufferBytes);
    std::vector<int16_t> right;
    for (size_t i = 1; i < wav.samples.size(); i += 2) {
        right.push_back(wav.samples[i]);
    }
    EXPECT_NEAR(kToneFrequency, DominantFrequency(right, 22050), 10);
}

TEST_F(RecorderProcessTest, MixedCaseMp3ExtensionRecordsADecodableMp3) {
    OpenControl();
    std::string path = m_dir.file("take.Mp3");
    Process recorder({kRecorder, "0", "17", path});
    ASSERT_EQ("17|0", AwaitResult());
    std::this_thread::sleep_for(2s);
    m_stop.Set();
    ASSERT_TRUE(recorder.WaitExit(10s));

    std::string bytes = ReadWholeFile(path);
    ASSERT_GT(bytes.size(), 1000u);
    // The first frame carries the finished Info tag (constant bitrate).
    EXPECT_NE(std::string::npos, bytes.substr(0, 200).find("Info"));
    EXPECT_NE(std::string::npos, bytes.substr(0, 400).find("LAME"));
    std::vector<int16_t> samples;
    int rate = 0;
    ASSERT_TRUE(DecodeToMono(path, samples, rate));
    EXPECT_EQ(22050, rate);
    EXPECT_NEAR(2.0, static_cast<double>(samples.size()) / rate, 0.3);
    EXPECT_NEAR(kToneFrequency, DominantFrequency(samples, rate), 10);
}

TEST_F(RecorderProcessTest, ExtensionPicksTheFormat) {
    OpenControl();
    struct Case {
        std::string name;
        bool mp3;
    } cases[] = {
        {"a.wav.MP3", true}, {"noextension", false}, {"a.ogg", false}, {"a.mp3.wav", false}};
    int id = 30;
    for (const Case& c : cases) {
        std::string path = m_dir.file(c.name);
        Process recorder({kRecorder, "0", std::to_string(id), path});
        ASSERT_EQ(std::to_string(id) + "|0", AwaitResult()) << c.name;
        std::this_thread::sleep_for(300ms);
        m_stop.Set();
        ASSERT_TRUE(recorder.WaitExit(10s)) << c.name;
        std::string head = ReadWholeFile(path).substr(0, 4);
        EXPECT_EQ(!c.mp3, head == "RIFF") << c.name;
        EXPECT_EQ(c.mp3, head.size() == 4 && static_cast<uint8_t>(head[0]) == 0xFF) << c.name;
        ++id;
    }
}

TEST_F(RecorderProcessTest, NoCaptureDeviceGivesThreeAndNoFile) {
    UseTestAudio(TestDevice::NoInput, m_dir.path());
    OpenControl();
    std::string path = m_dir.file("take.wav");
    Process recorder({kRecorder, "0", "8", path});
    EXPECT_EQ("8|3", AwaitResult());
    ASSERT_TRUE(recorder.WaitExit(10s));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(RecorderProcessTest, MissingEncoderLibraryGivesSix) {
    setenv("QORVANE_LAME_LIBRARY", "/nonexistent/libmp3lame.so.0", 1);
    OpenControl();
    std::string path = m_dir.file("take.mp3");
    Process recorder({kRecorder, "0", "6", path});
    EXPECT_EQ("6|6", AwaitResult());
    ASSERT_TRUE(recorder.WaitExit(10s));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// The library itself made unloadable for the recorder alone: a private mount
// namespace lays an empty file over it. Needs the right to create one (root).
TEST_F(RecorderProcessTest, HiddenEncoderLibraryGivesSix) {
    void* lame = dlopen("libmp3lame.so.0", RTLD_NOW | RTLD_LOCAL);
    if (lame == nullptr) {
        GTEST_SKIP() << "encoder library not installed";
    }
    link_map* map = nullptr;
    ASSERT_EQ(0, dlinfo(lame, RTLD_DI_LINKMAP, &map));
    std::string library = map->l_name;
    dlclose(lame);
    {
        Process probe({"/usr/bin/unshare", "--mount", "/bin/true"});
        int status = -1;
        if (!probe.WaitExit(10s, &status) || status != 0) {
            GTEST_SKIP() << "no mount namespace for this user";
        }
    }
    OpenControl();
    std::string path = m_dir.file("take.mp3");
    Process recorder({"/usr/bin/unshare", "--mount", "/bin/sh", "-c",
                      "mount --bind /dev/null \"$0\" && exec \"$1\" 0 6 \"$2\"", library, kRecorder,
                      path});
    EXPECT_EQ("6|6", AwaitResult());
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(RecorderProcessTest, PlayingAMissingFileGivesFourAndExitsAtOnce) {
    OpenControl();
    Process recorder({kRecorder, "1", "5", m_dir.file("missing.wav")});
    EXPECT_EQ("5|4", AwaitResult());
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);
}

TEST_F(RecorderProcessTest, PlaysARecordingUntilTheStopEvent) {
    OpenControl();
    std::string path = m_dir.file("take.mp3");
    {
        Process recorder({kRecorder, "0", "1", path});
        ASSERT_EQ("1|0", AwaitResult());
        std::this_thread::sleep_for(1s);
        m_stop.Set();
        ASSERT_TRUE(recorder.WaitExit(10s));
    }
    Process player({kRecorder, "1", "2", path});
    ASSERT_EQ("2|0", AwaitResult());
    std::string played = m_dir.file("played.raw");
    auto end = std::chrono::steady_clock::now() + 10s;
    while ((!std::filesystem::exists(played) || std::filesystem::file_size(played) == 0) &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_GT(std::filesystem::file_size(played), 0u);
    m_stop.Set();
    ASSERT_TRUE(player.WaitExit(10s));
}

TEST_F(RecorderProcessTest, OtherModesAnswerZeroAndWaitForTheStopEvent) {
    OpenControl();
    Process recorder({kRecorder, "2", "9", m_dir.file("any.wav")});
    EXPECT_EQ("9|0", AwaitResult());
    EXPECT_FALSE(recorder.WaitExit(300ms));
    m_stop.Set();
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("any.wav")));
}

TEST_F(RecorderProcessTest, TwoArgumentsTouchNoObject) {
    Process recorder({kRecorder, "0", "3"});
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);
    EXPECT_FALSE(std::filesystem::exists("/dev/shm/" + m_prefix + "_MAP_SHARE_MEMORY_Recorder"));
    EXPECT_FALSE(
        std::filesystem::exists("/dev/shm/sem." + m_prefix + "_IPC_NOTIFY_EVENT_Recorder"));
}

TEST_F(RecorderProcessTest, WithoutAStopEventTheRecordingEndsAtOnceWithACompleteFile) {
    OpenControl(false);
    std::string path = m_dir.file("take.wav");
    Process recorder({kRecorder, "0", "4", path});
    EXPECT_EQ("4|0", AwaitResult());
    ASSERT_TRUE(recorder.WaitExit(10s));
    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.fileSize - 8, wav.riffSize);
    EXPECT_EQ(wav.fileSize - 46, wav.dataSize);
    EXPECT_LT(wav.dataSize, static_cast<uint32_t>(kBytesPerSecond));
}

TEST_F(RecorderProcessTest, TerminationSignalFinishesTheFile) {
    OpenControl();
    std::string path = m_dir.file("take.wav");
    Process recorder({kRecorder, "0", "12", path});
    ASSERT_EQ("12|0", AwaitResult());
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(recorder.Signal(SIGTERM));
    int status = -1;
    ASSERT_TRUE(recorder.WaitExit(10s, &status));
    EXPECT_EQ(0, status);
    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.fileSize - 46, wav.dataSize);
    EXPECT_GT(wav.dataSize, 0u);
}

TEST_F(RecorderProcessTest, ControllerDrivesARecording) {
    std::string path = m_dir.file("controlled.wav");
    int out = -1;
    Process controller({kController, "--stop-after", "1", "0", "23", path}, &out);
    ASSERT_TRUE(controller.Started());
    int status = -1;
    ASSERT_TRUE(controller.WaitExit(20s, &status));
    EXPECT_EQ(0, status);
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = read(out, chunk, sizeof(chunk))) > 0) {
        text.append(chunk, static_cast<size_t>(n));
    }
    close(out);
    EXPECT_EQ("result 23|0\nexit 0\n", text);
    WavInfo wav = ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_NEAR(kBytesPerSecond, static_cast<long>(wav.dataSize), kBufferBytes);
}

}  // namespace
