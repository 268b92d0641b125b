// Drives QorvaneRecorder the way its controlling process does: creates the
// stop event, starts the recorder with mode, request id and path, waits for
// the notify event, prints the result message and, when the recorder runs,
// signals the stop event on request (a line or end of input on stdin, or
// after --stop-after seconds).
//
//   recorder-controller [--recorder PATH] [--stop-after SECONDS]
//                       [--timeout SECONDS] MODE ID PATH
//
// Output: "result <id>|<code>" (or "result none"), then "exit <status>".
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ipc/NamedEvent.h"
#include "platform/ipc/SharedMemory.h"

extern char** environ;

namespace {

// The names and sizes the recorder publishes under; written out here rather
// than taken from the recorder so that this program checks them.
constexpr const char* kSharedMemoryName = "Global\\_MAP_SHARE_MEMORY_Recorder";
constexpr const char* kNotifyEventName = "Global\\_IPC_NOTIFY_EVENT_Recorder";
constexpr const char* kStopEventName = "QORVAEN_Recorder";
constexpr size_t kSharedMemorySize = 65536;
constexpr size_t kMessageSize = 40;
constexpr int kDefaultTimeoutSeconds = 30;

std::string DefaultRecorderPath() {
    char self[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string path = length > 0 ? std::string(self, static_cast<size_t>(length)) : "";
    size_t cut = path.rfind('/');
    return (cut == std::string::npos ? std::string(".") : path.substr(0, cut)) + "/QorvaneRecorder";
}

int Usage() {
    std::cerr << "usage: recorder-controller [--recorder PATH] [--stop-after SECONDS] "
                 "[--timeout SECONDS] MODE ID PATH\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string recorder = DefaultRecorderPath();
    double stopAfter = -1;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    std::vector<std::string> request;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--recorder" && i + 1 < argc) {
            recorder = argv[++i];
        } else if (arg == "--stop-after" && i + 1 < argc) {
            stopAfter = std::atof(argv[++i]);
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeoutSeconds = std::atoi(argv[++i]);
        } else {
            request.push_back(arg);
        }
    }
    if (request.size() > 3) {
        return Usage();
    }

    NamedEvent stop;
    if (int err = stop.CreateOrOpen(kStopEventName); err != 0) {
        std::cerr << "cannot create the stop event: " << strerror(err) << "\n";
        return 1;
    }
    stop.Reset();
    SharedMemory shared;
    NamedEvent notify;
    if (shared.CreateOrOpen(kSharedMemoryName, kSharedMemorySize) != 0 || shared.Map() != 0 ||
        notify.CreateOrOpen(kNotifyEventName) != 0) {
        std::cerr << "cannot open the shared memory or the notify event\n";
        return 1;
    }
    // A message left from an earlier run must not be taken for this one.
    notify.Reset();

    std::vector<char*> args{recorder.data()};
    for (std::string& part : request) {
        args.push_back(part.data());
    }
    args.push_back(nullptr);
    pid_t child = 0;
    if (int err = posix_spawn(&child, recorder.c_str(), nullptr, nullptr, args.data(), environ);
        err != 0) {
        std::cerr << "cannot start " << recorder << ": " << strerror(err) << "\n";
        return 1;
    }

    // The reaper wakes the notify wait when the recorder ends without a result.
    std::atomic<bool> exited{false};
    int status = 0;
    std::thread reaper([&] {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        exited = true;
        notify.Set();
    });

    std::string expectedId =
        request.size() > 1 ? std::to_string(std::atoi(request[1].c_str())) : "";
    std::string message;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || notify.Wait(left) != NamedEvent::WaitResult::Signalled) {
            break;
        }
        std::string text(static_cast<const char*>(shared.Data()),
                         strnlen(static_cast<const char*>(shared.Data()), kMessageSize));
        if (!text.empty() && text.substr(0, text.find('|')) == expectedId) {
            message = text;
            break;
        }
        if (exited) {
            break;
        }
    }
    std::cout << "result " << (message.empty() ? "none" : message) << std::endl;

    bool running = message.size() > 2 && message.substr(message.find('|') + 1) == "0";
    if (running && !exited) {
        if (stopAfter >= 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(stopAfter));
        } else {
            std::string line;
            std::getline(std::cin, line);
        }
        stop.Set();
    }
    reaper.join();
    NamedEvent::Remove(kStopEventName);
    std::cout << "exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status))
              << std::endl;
    return 0;
}
