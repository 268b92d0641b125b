// recorder_bench: how fast the MP3 path encodes (as a multiple of real time,
// on one core) and whether capture keeps every buffer while it encodes.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "recorder/AudioRecorder.h"
#include "recorder/Mp3Encoder.h"
#include "tests/recorder/TestAudio.h"

namespace {

constexpr double kSecondsPerIteration = 10.0;
constexpr double kCaptureSeconds = 5.0;

std::string Scratch(const std::string& name) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qv-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void PinToOneCore() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    sched_setaffinity(0, sizeof(set), &set);
}

// Speech-like material: two partials, vibrato and noise, so that the encoder
// has real work (a pure tone is cheaper to encode).
std::vector<int16_t> TestSignal(size_t frames) {
    std::vector<int16_t> samples(frames * 2);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 800);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / 22050;
        double f = 220 + 30 * std::sin(2 * M_PI * 5 * t);
        double v = 6000 * std::sin(2 * M_PI * f * t) + 3000 * std::sin(2 * M_PI * 3.1 * f * t);
        samples[2 * i] = static_cast<int16_t>(v + noise(random));
        samples[2 * i + 1] = static_cast<int16_t>(0.8 * v + noise(random));
    }
    return samples;
}

void BM_Mp3EncodeRealTime(benchmark::State& state) {
    PinToOneCore();
    WaveFormat format = AudioRecorder::CaptureFormat();
    size_t frames = static_cast<size_t>(kSecondsPerIteration * format.samplesPerSec);
    std::vector<int16_t> signal = TestSignal(frames);
    const auto* bytes = reinterpret_cast<const uint8_t*>(signal.data());
    size_t total = signal.size() * sizeof(int16_t);
    std::string path = Scratch("bench.mp3");
    double worstChunk = 0;
    for (auto _ : state) {
        Mp3Encoder encoder;
        if (!encoder.Start(path, format, AudioRecorder::kBufferSize)) {
            state.SkipWithError("MP3 encoder library missing");
            return;
        }
        for (size_t at = 0; at < total; at += AudioRecorder::kBufferSize) {
            auto begin = std::chrono::steady_clock::now();
            encoder.EncodeChunk(bytes + at, std::min(AudioRecorder::kBufferSize, total - at));
            double took =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            worstChunk = std::max(worstChunk, took);
        }
        encoder.Finish();
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSecondsPerIteration * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    // A chunk has to be done before the two other buffers fill up.
    double budget = 2.0 * AudioRecorder::kBufferSize / format.avgBytesPerSec;
    state.counters["worst_chunk_ms"] = worstChunk * 1000;
    state.counters["chunk_budget_ms"] = budget * 1000;
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_Mp3EncodeRealTime)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Records MP3 from the tone device in real time, optionally while other
// threads keep every core busy, and counts capture periods that were lost.
void BM_CaptureWhileEncoding(benchmark::State& state) {
    bool loaded = state.range(0) != 0;
    std::string folder = std::filesystem::path(Scratch("x")).parent_path().string();
    UseTestAudio(TestDevice::Tone, folder);
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    if (loaded) {
        unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            load.emplace_back([&stop] {
                // Competing work of the same kind: encode into memory.
                std::vector<int16_t> signal = TestSignal(22050);
                volatile double sink = 0;
                while (!stop.load(std::memory_order_relaxed)) {
                    for (int16_t s : signal) {
                        sink = sink + std::sqrt(std::abs(static_cast<double>(s)));
                    }
                }
            });
        }
    }
    uint64_t lost = 0, captured = 0;
    for (auto _ : state) {
        AudioRecorder recorder;
        if (recorder.StartRecording(Scratch("capture.mp3")) != AudioRecorder::kStarted) {
            state.SkipWithError("cannot record from the tone device");
            break;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(kCaptureSeconds));
        lost += recorder.LostPeriods();
        recorder.StopRecording();
        captured += recorder.BuffersCaptured();
    }
    stop = true;
    for (std::thread& t : load) {
        t.join();
    }
    state.counters["buffers_captured"] = static_cast<double>(captured);
    state.counters["buffers_expected"] = kCaptureSeconds * 88200 / AudioRecorder::kBufferSize;
    state.counters["periods_lost"] = static_cast<double>(lost);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CaptureWhileEncoding)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
