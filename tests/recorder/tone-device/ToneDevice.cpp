// ALSA external PCM "qvtone". Configuration:
//   pcm_type.qvtone { lib "/path/libasound_module_pcm_qvtone.so" }
//   pcm.name { type qvtone frequency 1000 outfile "/path/played.raw" }
// Capture yields a sine tone of `frequency` Hz; playback writes what it
// consumes to `outfile` when given. Both run on a timer at the sample rate.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr double kAmplitude = 12000.0;
constexpr long kDefaultFrequency = 1000;

struct ToneDevice {
    snd_pcm_ioplug_t io{};
    int timer = -1;
    double frequency = kDefaultFrequency;
    std::string outfile;
    FILE* out = nullptr;
    timespec started{};
    bool running = false;
    uint64_t generated = 0;  // frames produced since open, keeps the phase
};

ToneDevice* Device(snd_pcm_ioplug_t* io) {
    return static_cast<ToneDevice*>(io->private_data);
}

uint64_t ElapsedFrames(const ToneDevice* device) {
    if (!device->running) {
        return 0;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    double seconds = static_cast<double>(now.tv_sec - device->started.tv_sec) +
                     static_cast<double>(now.tv_nsec - device->started.tv_nsec) / 1e9;
    return static_cast<uint64_t>(seconds * device->io.rate);
}

int Start(snd_pcm_ioplug_t* io) {
    ToneDevice* device = Device(io);
    clock_gettime(CLOCK_MONOTONIC, &device->started);
    device->running = true;
    double period = static_cast<double>(io->period_size) / io->rate;
    itimerspec schedule{};
    schedule.it_interval.tv_sec = static_cast<time_t>(period);
    schedule.it_interval.tv_nsec =
        static_cast<long>((period - static_cast<double>(schedule.it_interval.tv_sec)) * 1e9);
    schedule.it_value = schedule.it_interval;
    return timerfd_settime(device->timer, 0, &schedule, nullptr) == 0 ? 0 : -errno;
}

int Stop(snd_pcm_ioplug_t* io) {
    ToneDevice* device = Device(io);
    device->running = false;
    itimerspec off{};
    timerfd_settime(device->timer, 0, &off, nullptr);
    return 0;
}

snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
    ToneDevice* device = Device(io);
    uint64_t elapsed = ElapsedFrames(device);
    uint64_t appl = io->appl_ptr;
    if (io->stream == SND_PCM_STREAM_CAPTURE) {
        // More than a buffer unread: the device has overwritten data.
        if (elapsed > appl + io->buffer_size) {
            return -EPIPE;
        }
    } else if (elapsed > appl) {
        // Playback ran out of data.
        return -EPIPE;
    }
    return static_cast<snd_pcm_sframes_t>(elapsed % io->buffer_size);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    ToneDevice* device = Device(io);
    if (io->stream == SND_PCM_STREAM_CAPTURE) {
        for (snd_pcm_uframes_t i = 0; i < size; ++i) {
            double t = static_cast<double>(device->generated + i) / io->rate;
            auto sample =
                static_cast<int16_t>(kAmplitude * std::sin(2 * M_PI * device->frequency * t));
            for (unsigned ch = 0; ch < io->channels; ++ch) {
                const snd_pcm_channel_area_t& area = areas[ch];
                auto* base = static_cast<uint8_t*>(area.addr);
                auto* target =
                    reinterpret_cast<int16_t*>(base + (area.first + area.step * (offset + i)) / 8);
                *target = sample;
            }
        }
        device->generated += size;
    } else if (device->out != nullptr) {
        const snd_pcm_channel_area_t& area = areas[0];
        auto* base = static_cast<const uint8_t*>(area.addr);
        size_t frameBytes = io->channels * 2;
        fwrite(base + (area.first + area.step * offset) / 8, 1, size * frameBytes, device->out);
        fflush(device->out);
    }
    return static_cast<snd_pcm_sframes_t>(size);
}

int PollRevents(snd_pcm_ioplug_t* io, struct pollfd* pfd, unsigned int nfds,
                unsigned short* revents) {
    ToneDevice* device = Device(io);
    *revents = 0;
    if (nfds == 1 && (pfd[0].revents & POLLIN)) {
        uint64_t expirations = 0;
        if (read(device->timer, &expirations, sizeof(expirations)) > 0) {
            *revents = io->stream == SND_PCM_STREAM_CAPTURE ? POLLIN : POLLOUT;
        }
    }
    return 0;
}

int Prepare(snd_pcm_ioplug_t* io) {
    Stop(io);
    return 0;
}

int Close(snd_pcm_ioplug_t* io) {
    ToneDevice* device = Device(io);
    if (device->timer >= 0) {
        close(device->timer);
    }
    if (device->out != nullptr) {
        fclose(device->out);
    }
    delete device;
    return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
    snd_pcm_ioplug_callback_t callbacks{};
    callbacks.start = Start;
    callbacks.stop = Stop;
    callbacks.pointer = Pointer;
    callbacks.transfer = Transfer;
    callbacks.close = Close;
    callbacks.prepare = Prepare;
    callbacks.poll_revents = PollRevents;
    return callbacks;
}();

int SetConstraints(snd_pcm_ioplug_t* io) {
    static const unsigned int accesses[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_S16_LE};
    int err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, accesses);
    if (err >= 0)
        err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
    if (err >= 0)
        err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
    if (err >= 0)
        err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 8000, 48000);
    if (err >= 0)
        err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 256, 65536);
    if (err >= 0)
        err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    return err;
}

}  // namespace

extern "C" {

SND_PCM_PLUGIN_DEFINE_FUNC(qvtone) {
    auto* device = new ToneDevice;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* node = snd_config_iterator_entry(i);
        const char* id = nullptr;
        if (snd_config_get_id(node, &id) < 0) {
            continue;
        }
        if (strcmp(id, "frequency") == 0) {
            long value = 0;
            if (snd_config_get_integer(node, &value) >= 0) {
                device->frequency = static_cast<double>(value);
            }
        } else if (strcmp(id, "outfile") == 0) {
            const char* value = nullptr;
            if (snd_config_get_string(node, &value) >= 0) {
                device->outfile = value;
            }
        }
    }
    device->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (device->timer < 0) {
        delete device;
        return -errno;
    }
    if (stream == SND_PCM_STREAM_PLAYBACK && !device->outfile.empty()) {
        device->out = fopen(device->outfile.c_str(), "ab");
    }
    device->io.version = SND_PCM_IOPLUG_VERSION;
    device->io.name = "Qorvane test tone";
    device->io.callback = &kCallbacks;
    device->io.private_data = device;
    device->io.poll_fd = device->timer;
    device->io.poll_events = POLLIN;
    device->io.mmap_rw = 0;
    int err = snd_pcm_ioplug_create(&device->io, name, stream, mode);
    if (err < 0) {
        close(device->timer);
        if (device->out != nullptr) {
            fclose(device->out);
        }
        delete device;
        return err;
    }
    err = SetConstraints(&device->io);
    if (err < 0) {
        snd_pcm_ioplug_delete(&device->io);
        return err;
    }
    *pcmp = device->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(qvtone)

}  // extern "C"
