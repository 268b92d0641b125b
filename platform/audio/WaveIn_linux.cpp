#include "platform/audio/WaveIn.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

snd_pcm_t* Pcm(void* pcm) {
    return static_cast<snd_pcm_t*>(pcm);
}

// The discard device generates silence; it is no microphone.
constexpr const char kNullDevice[] = "null";

snd_pcm_format_t SampleFormat(const WaveFormat& format) {
    switch (format.bitsPerSample) {
        case 8:
            return SND_PCM_FORMAT_U8;
        case 16:
            return SND_PCM_FORMAT_S16_LE;
        case 24:
            return SND_PCM_FORMAT_S24_3LE;
        case 32:
            return SND_PCM_FORMAT_S32_LE;
        default:
            return SND_PCM_FORMAT_UNKNOWN;
    }
}

int SetHardwareParams(snd_pcm_t* pcm, const WaveFormat& format, snd_pcm_uframes_t period,
                      unsigned periodCount) {
    snd_pcm_format_t sampleFormat = SampleFormat(format);
    if (format.formatTag != WaveFormat::kPcm || sampleFormat == SND_PCM_FORMAT_UNKNOWN) {
        return -EINVAL;
    }
    snd_pcm_hw_params_t* params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    int err = snd_pcm_hw_params_any(pcm, params);
    if (err >= 0)
        err = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (err >= 0)
        err = snd_pcm_hw_params_set_format(pcm, params, sampleFormat);
    if (err >= 0)
        err = snd_pcm_hw_params_set_channels(pcm, params, format.channels);
    if (err >= 0)
        err = snd_pcm_hw_params_set_rate_resample(pcm, params, 1);
    if (err >= 0)
        err = snd_pcm_hw_params_set_rate(pcm, params, format.samplesPerSec, 0);
    if (err >= 0)
        err = snd_pcm_hw_params_set_period_size_near(pcm, params, &period, nullptr);
    snd_pcm_uframes_t bufferFrames = period * periodCount;
    if (err >= 0)
        err = snd_pcm_hw_params_set_buffer_size_near(pcm, params, &bufferFrames);
    if (err >= 0)
        err = snd_pcm_hw_params(pcm, params);
    return err < 0 ? err : 0;
}

}  // namespace

std::vector<std::string> WaveIn::CaptureDeviceNames() {
    std::vector<std::string> names;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0) {
        return names;
    }
    for (void** hint = hints; *hint != nullptr; ++hint) {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* direction = snd_device_name_get_hint(*hint, "IOID");
        // No direction means both.
        bool input = direction == nullptr || strcmp(direction, "Input") == 0;
        if (name != nullptr && input && strcmp(name, kNullDevice) != 0) {
            names.emplace_back(name);
        }
        free(name);
        free(direction);
    }
    snd_device_name_free_hint(hints);
    return names;
}

WaveIn::~WaveIn() {
    Stop();
    Reset();
    Close();
}

int WaveIn::Open(const WaveFormat& format, size_t periodBytes, unsigned periodCount,
                 Callback callback) {
    if (m_pcm != nullptr) {
        return -EBUSY;
    }
    if (format.blockAlign == 0 || periodBytes < format.blockAlign) {
        return -EINVAL;
    }
    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open(&pcm, kDefaultDevice, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (err < 0) {
        return err;
    }
    err = SetHardwareParams(pcm, format, periodBytes / format.blockAlign, periodCount);
    if (err < 0) {
        snd_pcm_close(pcm);
        return err;
    }
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0) {
        err = -errno;
        snd_pcm_close(pcm);
        return err;
    }
    m_pcm = pcm;
    m_frameBytes = format.blockAlign;
    m_callback = std::move(callback);
    m_scratch.assign(periodBytes - periodBytes % m_frameBytes, 0);
    m_overruns = 0;
    m_droppedBytes = 0;
    return 0;
}

int WaveIn::AddBuffer(WaveBuffer* buffer) {
    if (m_pcm == nullptr) {
        return -EBADF;
    }
    if (buffer == nullptr || buffer->data == nullptr || buffer->size < m_frameBytes) {
        return -EINVAL;
    }
    buffer->done = false;
    buffer->recorded = 0;
    std::lock_guard<std::mutex> guard(m_queueLock);
    m_queue.push_back(buffer);
    return 0;
}

int WaveIn::Start() {
    if (m_pcm == nullptr) {
        return -EBADF;
    }
    if (m_thread.joinable()) {
        return 0;
    }
    int err = snd_pcm_prepare(Pcm(m_pcm));
    if (err >= 0) {
        err = snd_pcm_start(Pcm(m_pcm));
    }
    if (err < 0) {
        return err;
    }
    m_thread = std::thread(&WaveIn::Run, this);
    return 0;
}

int WaveIn::Stop() {
    if (!m_thread.joinable()) {
        return 0;
    }
    uint64_t one = 1;
    if (write(m_stopFd, &one, sizeof(one)) != sizeof(one)) {
        return -errno;
    }
    m_thread.join();
    uint64_t drained = 0;
    if (read(m_stopFd, &drained, sizeof(drained)) < 0) {
        // Nothing to undo: the counter only woke the thread.
    }
    snd_pcm_drop(Pcm(m_pcm));
    return 0;
}

std::vector<WaveBuffer*> WaveIn::Reset() {
    Stop();
    std::lock_guard<std::mutex> guard(m_queueLock);
    std::vector<WaveBuffer*> back(m_queue.begin(), m_queue.end());
    m_queue.clear();
    return back;
}

int WaveIn::Close() {
    if (m_pcm == nullptr) {
        return 0;
    }
    Stop();
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (!m_queue.empty()) {
            return -EBUSY;
        }
    }
    snd_pcm_close(Pcm(m_pcm));
    m_pcm = nullptr;
    close(m_stopFd);
    m_stopFd = -1;
    m_callback = nullptr;
    return 0;
}

WaveBuffer* WaveIn::NextBuffer() {
    if (m_current == nullptr) {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (!m_queue.empty()) {
            m_current = m_queue.front();
            m_queue.pop_front();
        }
    }
    return m_current;
}

void WaveIn::Deliver(WaveBuffer* buffer) {
    buffer->done = true;
    if (m_current == buffer) {
        m_current = nullptr;
    }
    if (m_callback) {
        m_callback(buffer);
    }
}

// Reads everything the device held when called, buffer by buffer, so that a
// late wake-up catches up at once. Returns false when the device failed for
// good and capture has to end.
bool WaveIn::ReadAvailable() {
    snd_pcm_t* pcm = Pcm(m_pcm);
    snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
    if (avail == -EPIPE) {
        ++m_overruns;
        return snd_pcm_prepare(pcm) >= 0 && snd_pcm_start(pcm) >= 0;
    }
    if (avail < 0) {
        return snd_pcm_recover(pcm, static_cast<int>(avail), 1) >= 0;
    }
    while (avail > 0) {
        WaveBuffer* buffer = NextBuffer();
        uint8_t* target = m_scratch.data();
        size_t room = m_scratch.size();
        if (buffer != nullptr) {
            target = buffer->data + buffer->recorded;
            room = buffer->size - buffer->recorded;
        }
        snd_pcm_uframes_t want =
            std::min<snd_pcm_uframes_t>(room / m_frameBytes, static_cast<snd_pcm_uframes_t>(avail));
        snd_pcm_sframes_t frames = snd_pcm_readi(pcm, target, want);
        if (frames == -EAGAIN || frames == 0) {
            return true;
        }
        if (frames == -EPIPE) {
            // The reader fell behind and the device overwrote a period.
            ++m_overruns;
            return snd_pcm_prepare(pcm) >= 0 && snd_pcm_start(pcm) >= 0;
        }
        if (frames < 0) {
            return snd_pcm_recover(pcm, static_cast<int>(frames), 1) >= 0;
        }
        avail -= frames;
        size_t bytes = static_cast<size_t>(frames) * m_frameBytes;
        if (buffer == nullptr) {
            m_droppedBytes += bytes;
            continue;
        }
        buffer->recorded += bytes;
        if (buffer->size - buffer->recorded < m_frameBytes) {
            Deliver(buffer);
        }
    }
    return true;
}

void WaveIn::Run() {
    snd_pcm_t* pcm = Pcm(m_pcm);
    int count = snd_pcm_poll_descriptors_count(pcm);
    std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 0) + 1);
    fds[0] = pollfd{m_stopFd, POLLIN, 0};
    snd_pcm_poll_descriptors(pcm, fds.data() + 1, static_cast<unsigned>(fds.size() - 1));
    for (;;) {
        for (pollfd& fd : fds) {
            fd.revents = 0;
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents & POLLIN) {
            break;
        }
        unsigned short events = 0;
        snd_pcm_poll_descriptors_revents(pcm, fds.data() + 1, static_cast<unsigned>(fds.size() - 1),
                                         &events);
        if ((events & (POLLERR | POLLIN)) == 0) {
            continue;
        }
        if (!ReadAvailable()) {
            break;
        }
    }
    // What the device holds at the stop still belongs to the recording: one
    // read of at most what is available now, so that a device that never runs
    // dry cannot keep the stop waiting.
    WaveBuffer* last = NextBuffer();
    if (last != nullptr) {
        snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
        snd_pcm_sframes_t room =
            static_cast<snd_pcm_sframes_t>((last->size - last->recorded) / m_frameBytes);
        if (avail > 0 && room > 0) {
            snd_pcm_sframes_t frames =
                snd_pcm_readi(pcm, last->data + last->recorded,
                              static_cast<snd_pcm_uframes_t>(std::min(avail, room)));
            if (frames > 0) {
                last->recorded += static_cast<size_t>(frames) * m_frameBytes;
            }
        }
        Deliver(last);
    }
}
