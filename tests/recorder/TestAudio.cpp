#include "tests/recorder/TestAudio.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/support/Files.h"

namespace {

uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}

uint32_t U32(const std::string& b, size_t at) {
    return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

}  // namespace

void UseTestAudio(TestDevice device, const std::string& folder, const std::string& playedFile) {
    std::string path = folder + "/asound.conf";
    std::ofstream out(path);
    out << "pcm_type.qvtone { lib \"" << QORVANE_TONE_DEVICE << "\" }\n";
    if (device == TestDevice::Tone) {
        out << "pcm.!default {\n    type qvtone\n    frequency " << kToneFrequency << "\n";
        if (!playedFile.empty()) {
            out << "    outfile \"" << playedFile << "\"\n";
        }
        out << "    hint { show on description \"Qorvane test tone\" }\n}\n";
    } else {
        // Output only: a device without a hint is listed nowhere.
        out << "pcm.!default { type null }\n";
    }
    out.close();
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

WavInfo ReadWav(const std::string& path) {
    WavInfo info;
    std::string bytes = ReadWholeFile(path);
    info.fileSize = bytes.size();
    if (bytes.size() < 46 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0 ||
        bytes.compare(12, 4, "fmt ") != 0) {
        return info;
    }
    info.riffSize = U32(bytes, 4);
    info.formatSize = U32(bytes, 16);
    info.formatTag = U16(bytes, 20);
    info.channels = U16(bytes, 22);
    info.samplesPerSec = U32(bytes, 24);
    info.avgBytesPerSec = U32(bytes, 28);
    info.blockAlign = U16(bytes, 32);
    info.bitsPerSample = U16(bytes, 34);
    size_t data = 20 + info.formatSize;
    if (info.formatSize >= 18) {
        info.extraSize = U16(bytes, 36);
    }
    if (bytes.size() < data + 8 || bytes.compare(data, 4, "data") != 0) {
        return info;
    }
    info.dataSize = U32(bytes, data + 4);
    size_t start = data + 8;
    size_t available = std::min<size_t>(info.dataSize, bytes.size() - start);
    info.samples.resize(available / 2);
    memcpy(info.samples.data(), bytes.data() + start, info.samples.size() * 2);
    info.valid = true;
    return info;
}

bool DecodeToMono(const std::string& path, std::vector<int16_t>& samples, int& rate) {
    gst_init(nullptr, nullptr);
    gchar* location = g_strescape(path.c_str(), nullptr);
    std::string description =
        std::string("filesrc location=\"") + location +
        "\" ! decodebin ! audioconvert ! audio/x-raw,format=S16LE,channels=1 ! "
        "appsink name=sink sync=false";
    g_free(location);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        if (error != nullptr) {
            g_error_free(error);
        }
        return false;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    rate = 0;
    samples.clear();
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        if (rate == 0) {
            GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            gst_structure_get_int(s, "rate", &rate);
        }
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto* data = reinterpret_cast<const int16_t*>(map.data);
            samples.insert(samples.end(), data, data + map.size / 2);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return rate > 0 && !samples.empty();
}

double DominantFrequency(const std::vector<int16_t>& samples, int rate) {
    double best = 0;
    double bestPower = -1;
    for (double f = 100; f <= 5000; f += 5) {
        // Goertzel filter at f.
        double coeff = 2 * std::cos(2 * M_PI * f / rate);
        double s1 = 0, s2 = 0;
        for (int16_t x : samples) {
            double s0 = x + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}
