// Snapshot capture + JPEG encode of the exam's camera on the generated test
// picture at 640x480, 30 pictures a second: from the request to the file on
// disk. The capture runs as it does during an exam (preview pictures flowing).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/camera/CameraCapture.h"

namespace {

void BM_Snapshot(benchmark::State& state) {
    CCameraCapture capture;
    if (capture.Init({"videotestsrc is-live=true", {{1280, 720}, {640, 480}}},
                     [](const unsigned char*, int, int, int) {}) != 0) {
        state.SkipWithError(capture.ErrorText().c_str());
        return;
    }
    const std::string path = "/tmp/qv-camera-bench-" + std::to_string(getpid()) + ".jpg";
    for (auto _ : state) {
        if (capture.Snapshot(path) != 0) {
            state.SkipWithError("snapshot failed");
            break;
        }
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_Snapshot)->Unit(benchmark::kMillisecond)->Iterations(60)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
