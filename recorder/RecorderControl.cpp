#include "recorder/RecorderControl.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/CLog.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/ipc/SharedMemory.h"
#include "platform/signals/StopSignals.h"
#include "recorder/AudioRecorder.h"

namespace {

constexpr int kRequiredArguments = 3;
constexpr char kModeRecord[] = "0";
constexpr char kModePlay[] = "1";

}  // namespace

int ParseRequestId(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value < INT_MIN ? INT_MIN : value);
}

std::array<char, kResultMessageSize> FormatResultMessage(int requestId, int result) {
    std::array<char, kResultMessageSize> message{};
    snprintf(message.data(), message.size(), "%d|%d", requestId, result);
    return message;
}

int RunRecorder(int argc, char** argv) {
    if (argc - 1 < kRequiredArguments) {
        return 0;
    }
    // Created before the recorder object so that it outlives it at exit.
    CLog& log = CLog::Instance();
    const char* logBase = std::getenv(kRecorderLogEnvironment);
    if (logBase != nullptr && logBase[0] != '\0') {
        log.Open(logBase);
    }

    // SIGTERM, SIGINT and SIGHUP end a recording like the stop event does, so
    // that the file is finished rather than cut off with its sizes unwritten.
    const volatile std::sig_atomic_t& stopSignal = CatchStopSignalsAsFlag();

    SharedMemory shared;
    int err = shared.CreateOrOpen(kRecorderSharedMemoryName, kRecorderSharedMemorySize);
    if (err != 0) {
        REC_DEBUG("## err=%d", err);
    } else if ((err = shared.Map()) != 0) {
        REC_DEBUG("##11 err=%d", err);
    }
    NamedEvent notify;
    if ((err = notify.CreateOrOpen(kRecorderNotifyEventName)) != 0) {
        REC_DEBUG("notify event failed %d", err);
    }
    NamedEvent stop;
    if ((err = stop.Open(kRecorderStopEventName)) != 0) {
        REC_DEBUG("stop event missing %d", err);
    }

    const char* mode = argv[1];
    int requestId = ParseRequestId(argv[2]);
    std::string path = argv[3];
    AudioRecorder& recorder = AudioRecorder::Instance();
    int result = 0;
    if (strcmp(mode, kModeRecord) == 0) {
        result = recorder.StartRecording(path);
    } else if (strcmp(mode, kModePlay) == 0) {
        result = recorder.StartPlayback(path);
    }
    REC_DEBUG("request %d mode %s result %d", requestId, mode, result);

    std::array<char, kResultMessageSize> message = FormatResultMessage(requestId, result);
    if (shared.IsMapped() && shared.Size() >= message.size()) {
        memset(shared.Data(), 0, shared.Size());
        memcpy(shared.Data(), message.data(), message.size());
        notify.Set();
    }

    if (result == AudioRecorder::kStarted) {
        // Without a stop event the wait fails at once and the recording or
        // playback ends right here, with a complete file.
        stop.Wait(stopSignal);
        recorder.StopRecording();
        recorder.StopPlayback();
    }
    notify.Close();
    shared.Unmap();
    shared.Close();
    return 0;
}
