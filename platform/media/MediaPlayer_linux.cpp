#include "platform/media/MediaPlayer.h"

#include <fcntl.h>
#include <gst/gst.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Opening waits this long for the file to be read, decoded and the output to
// accept it.
constexpr GstClockTime kOpenTimeout = 10 * GST_SECOND;
// playbin's flag for the audio stream alone: no video or subtitle output.
constexpr guint kPlayAudioOnly = 1u << 1;

GstElement* Pipeline(void* pipeline) {
    return static_cast<GstElement*>(pipeline);
}

}  // namespace

MediaPlayer::~MediaPlayer() {
    Close();
}

void MediaPlayer::TakeBusError() {
    GstBus* bus = gst_element_get_bus(Pipeline(m_pipeline));
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (message != nullptr) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        if (error != nullptr) {
            m_error = error->message;
            g_error_free(error);
        }
        gst_message_unref(message);
    }
    gst_object_unref(bus);
}

int MediaPlayer::Open(const std::string& path) {
    Close();
    m_error.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = strerror(errno);
        return -1;
    }
    close(fd);
    GError* error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        m_error = error != nullptr ? error->message : "GStreamer unavailable";
        if (error != nullptr) {
            g_error_free(error);
        }
        return -1;
    }
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) {
        m_error = "no playbin element";
        return -1;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    g_object_set(playbin, "uri", uri, "flags", kPlayAudioOnly, nullptr);
    g_free(uri);
    m_pipeline = playbin;
    GstStateChangeReturn change = gst_element_set_state(playbin, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_ASYNC) {
        change = gst_element_get_state(playbin, nullptr, nullptr, kOpenTimeout);
    }
    if (change == GST_STATE_CHANGE_FAILURE || change == GST_STATE_CHANGE_ASYNC) {
        TakeBusError();
        if (m_error.empty()) {
            m_error = "cannot open the file";
        }
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(playbin);
        m_pipeline = nullptr;
        return -1;
    }
    return 0;
}

int MediaPlayer::Play() {
    if (m_pipeline == nullptr) {
        return -1;
    }
    GstElement* playbin = Pipeline(m_pipeline);
    gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                            0);
    if (gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        TakeBusError();
        return -1;
    }
    return 0;
}

int MediaPlayer::Stop() {
    if (m_pipeline == nullptr) {
        return -1;
    }
    if (gst_element_set_state(Pipeline(m_pipeline), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        TakeBusError();
        return -1;
    }
    return 0;
}

void MediaPlayer::Close() {
    if (m_pipeline != nullptr) {
        gst_element_set_state(Pipeline(m_pipeline), GST_STATE_NULL);
        gst_object_unref(Pipeline(m_pipeline));
        m_pipeline = nullptr;
    }
}
