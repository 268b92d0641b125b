#include "platform/camera/CameraCapture.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>

namespace {

constexpr const char* kCameraClass = "Video/Source";
constexpr const char* kRawMedia = "video/x-raw";
constexpr const char* kJpegMedia = "image/jpeg";
constexpr int kWantedFrameRate = 30;

// After the source and its format: decoded pictures split into the preview,
// which takes the newest picture and drops what it cannot keep up with, and
// the snapshot branch, closed by its valve until a picture is wanted. The
// snapshot sink must not wait for a first picture, or the pipeline would
// never run with the valve closed.
constexpr const char* kBranches =
    "capsfilter name=format ! %s videoconvert ! video/x-raw,format=BGRx ! tee name=split "
    "split. ! queue leaky=downstream max-size-buffers=2 ! "
    "appsink name=preview sync=false max-buffers=1 drop=true "
    "split. ! queue leaky=downstream max-size-buffers=2 ! valve name=shot drop=true ! "
    "jpegenc quality=%d ! appsink name=still sync=false async=false max-buffers=1 drop=true";

bool InitialiseOnce(std::string& error) {
    static bool ready = false;
    static std::string failure;
    static std::once_flag once;
    std::call_once(once, [] {
        GError* problem = nullptr;
        ready = gst_init_check(nullptr, nullptr, &problem);
        if (!ready) {
            failure = problem ? problem->message : "media framework unavailable";
        }
        g_clear_error(&problem);
    });
    error = failure;
    return ready;
}

std::string TakeError(GError*& error, const char* fallback) {
    std::string text = error && error->message ? error->message : fallback;
    g_clear_error(&error);
    return text;
}

// Owning references to GStreamer objects and caps.
struct ObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct CapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
template <class T>
using GstRef = std::unique_ptr<T, ObjectUnref>;
using CapsRef = std::unique_ptr<GstCaps, CapsUnref>;

// A camera element and the formats it offers.
struct OpenedCamera {
    GstRef<GstElement> element;
    CapsRef offered;
};

// One side of a caps structure's size: a fixed number, or the wanted value
// brought into a range.
bool ReadSide(const GstStructure* structure, const char* field, int wanted, int& value) {
    const GValue* side = gst_structure_get_value(structure, field);
    if (!side) {
        return false;
    }
    if (G_VALUE_HOLDS_INT(side)) {
        value = g_value_get_int(side);
        return true;
    }
    if (GST_VALUE_HOLDS_INT_RANGE(side)) {
        value = std::clamp(wanted, gst_value_get_int_range_min(side),
                           gst_value_get_int_range_max(side));
        return true;
    }
    return false;
}

bool UsableMedia(const GstStructure* structure) {
    return gst_structure_has_name(structure, kRawMedia) ||
           gst_structure_has_name(structure, kJpegMedia);
}

// The picture sizes of a camera, one per caps structure we can decode; the
// structures themselves are kept in the same order.
std::vector<CameraSize> OfferedSizes(GstCaps* caps, std::vector<GstStructure*>& structures) {
    std::vector<CameraSize> sizes;
    for (guint i = 0; caps && i < gst_caps_get_size(caps); ++i) {
        GstStructure* structure = gst_caps_get_structure(caps, i);
        CameraSize size;
        if (!UsableMedia(structure) ||
            !ReadSide(structure, "width", kWantedCameraSize.width, size.width) ||
            !ReadSide(structure, "height", kWantedCameraSize.height, size.height)) {
            continue;
        }
        sizes.push_back(size);
        structures.push_back(structure);
    }
    return sizes;
}

// The exact format to ask of the camera: its own structure with the chosen
// size and the frame rate nearest 30.
GstCaps* ExactCaps(const GstStructure* offered, CameraSize size) {
    GstStructure* exact = gst_structure_copy(offered);
    gst_structure_set(exact, "width", G_TYPE_INT, size.width, "height", G_TYPE_INT, size.height,
                      nullptr);
    if (gst_structure_has_field(exact, "framerate")) {
        gst_structure_fixate_field_nearest_fraction(exact, "framerate", kWantedFrameRate, 1);
    }
    GstCaps* caps = gst_caps_new_full(exact, nullptr);
    return gst_caps_fixate(caps);
}

// The camera: the described source, or the first one the system lists, with
// the formats it offers.
int OpenCamera(const CameraSource& source, OpenedCamera& camera, std::string& deviceName,
               std::string& error) {
    if (!source.description.empty()) {
        GError* problem = nullptr;
        GstElement* described =
            gst_parse_bin_from_description(source.description.c_str(), TRUE, &problem);
        if (!described) {
            error = TakeError(problem, "source description not understood");
            return CCameraCapture::kNoCamera;
        }
        g_clear_error(&problem);
        camera.element.reset(GST_ELEMENT(gst_object_ref_sink(described)));
        deviceName = source.description;
        camera.offered.reset(gst_caps_new_empty());
        for (CameraSize size : source.sizes) {
            gst_caps_append_structure(
                camera.offered.get(),
                gst_structure_new(kRawMedia, "framerate", GST_TYPE_FRACTION, kWantedFrameRate, 1,
                                  "width", G_TYPE_INT, size.width, "height", G_TYPE_INT,
                                  size.height, nullptr));
        }
        return 0;
    }
    GstRef<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), kCameraClass, nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    if (devices) {
        auto* device = static_cast<GstDevice*>(devices->data);
        gchar* name = gst_device_get_display_name(device);
        deviceName = name ? name : "";
        g_free(name);
        camera.offered.reset(gst_device_get_caps(device));
        if (GstElement* element = gst_device_create_element(device, "camera")) {
            camera.element.reset(GST_ELEMENT(gst_object_ref_sink(element)));
        }
    }
    g_list_free_full(devices, gst_object_unref);
    if (!camera.element) {
        error = "no camera";
        return CCameraCapture::kNoCamera;
    }
    return 0;
}

// The format closest to the wanted size among those the camera offers.
int ChooseFormat(const OpenedCamera& camera, CameraFormatChoice& format, CapsRef& exact, bool& jpeg,
                 std::string& error) {
    std::vector<GstStructure*> structures;
    const std::vector<CameraSize> sizes = OfferedSizes(camera.offered.get(), structures);
    format = ChooseCameraFormat(sizes);
    if (format.index >= 0) {
        const GstStructure* chosen = structures[static_cast<size_t>(format.index)];
        jpeg = gst_structure_has_name(chosen, kJpegMedia);
        exact.reset(ExactCaps(chosen, format.size));
    }
    if (!exact) {
        error = "the camera offers no usable picture size";
        return CCameraCapture::kNoFormat;
    }
    return 0;
}

}  // namespace

struct CCameraCapture::Pipeline {
    GstElement* pipeline = nullptr;
    GstElement* preview = nullptr;
    GstElement* still = nullptr;
    GstElement* valve = nullptr;
    FrameSink sink;

    std::mutex lock;
    std::condition_variable changed;
    bool pictured = false;
    bool failed = false;
    std::string error;

    // The camera, its exact format and the picture branches put together;
    // then played until the first picture. 0 or CCameraCapture's codes,
    // with what went wrong in why.
    int Build(GstRef<GstElement> camera, GstCaps* exact, bool jpeg, std::string& why);
    int Start(std::string& why);

    ~Pipeline() {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
        }
        for (GstElement* element : {preview, still, valve, pipeline}) {
            if (element) {
                gst_object_unref(element);
            }
        }
    }

    static GstFlowReturn OnPicture(GstAppSink* appsink, gpointer self) {
        auto* owner = static_cast<Pipeline*>(self);
        GstSample* sample = gst_app_sink_pull_sample(appsink);
        if (!sample) {
            return GST_FLOW_OK;
        }
        GstCaps* caps = gst_sample_get_caps(sample);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        int width = 0;
        int height = 0;
        GstMapInfo map;
        if (caps && buffer &&
            gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &width) &&
            gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &height) &&
            gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const int stride = width * 4;
            if (map.size >= static_cast<gsize>(stride) * static_cast<gsize>(height) &&
                owner->sink) {
                owner->sink(map.data, width, height, stride);
            }
            gst_buffer_unmap(buffer, &map);
            std::lock_guard<std::mutex> hold(owner->lock);
            if (!owner->pictured) {
                owner->pictured = true;
                owner->changed.notify_all();
            }
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }

    // Every message is handled here, on the thread that posts it: nobody
    // pops the bus, so nothing piles up during a long exam.
    static GstBusSyncReply OnMessage(GstBus*, GstMessage* message, gpointer self) {
        auto* owner = static_cast<Pipeline*>(self);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* problem = nullptr;
            gst_message_parse_error(message, &problem, nullptr);
            std::lock_guard<std::mutex> hold(owner->lock);
            owner->failed = true;
            owner->error = TakeError(problem, "camera error");
            owner->changed.notify_all();
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
};

// The camera, its exact format and the two picture branches in one pipeline.
int CCameraCapture::Pipeline::Build(GstRef<GstElement> camera, GstCaps* exact, bool jpeg,
                                    std::string& why) {
    char branches[1024];
    snprintf(branches, sizeof(branches), kBranches, jpeg ? "jpegdec !" : "", kJpegQuality);
    GError* problem = nullptr;
    GstElement* rest = gst_parse_bin_from_description(branches, TRUE, &problem);
    if (!rest) {
        why = TakeError(problem, "picture branches not built");
        return kPipelineFailed;
    }
    g_clear_error(&problem);
    pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("camera-pipeline")));
    GstElement* source = camera.get();
    // The bin takes the floating branches and its own reference to the camera.
    gst_bin_add_many(GST_BIN(pipeline), source, rest, nullptr);
    GstRef<GstElement> format(gst_bin_get_by_name(GST_BIN(rest), "format"));
    g_object_set(format.get(), "caps", exact, nullptr);
    preview = gst_bin_get_by_name(GST_BIN(rest), "preview");
    still = gst_bin_get_by_name(GST_BIN(rest), "still");
    valve = gst_bin_get_by_name(GST_BIN(rest), "shot");
    if (!gst_element_link(source, rest) || !preview || !still || !valve) {
        why = "the camera cannot deliver the chosen format";
        return kPipelineFailed;
    }
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Pipeline::OnPicture;
    gst_app_sink_set_callbacks(GST_APP_SINK(preview), &callbacks, this, nullptr);
    GstRef<GstBus> bus(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), &Pipeline::OnMessage, this, nullptr);
    return 0;
}

// Plays the pipeline and waits for its first picture.
int CCameraCapture::Pipeline::Start(std::string& why) {
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        std::lock_guard<std::mutex> hold(lock);
        why = error.empty() ? "the camera did not start" : error;
        return kPipelineFailed;
    }
    std::unique_lock<std::mutex> hold(lock);
    changed.wait_for(hold, std::chrono::milliseconds(kFirstPictureTimeoutMs),
                     [&] { return pictured || failed; });
    if (!pictured) {
        why = failed ? error : "the camera delivers no pictures";
        return failed ? kPipelineFailed : kNoPictures;
    }
    return 0;
}

CCameraCapture::CCameraCapture() = default;

CCameraCapture::~CCameraCapture() {
    Stop();
}

bool CCameraCapture::Running() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_pipeline != nullptr;
}

int CCameraCapture::Init(const CameraSource& source, FrameSink sink) {
    Stop();
    m_formatChosen = false;
    m_format = CameraFormatChoice();
    m_deviceName.clear();
    m_error.clear();
    if (!InitialiseOnce(m_error)) {
        return kPipelineFailed;
    }
    OpenedCamera camera;
    if (int failed = OpenCamera(source, camera, m_deviceName, m_error); failed != 0) {
        return failed;
    }
    CapsRef exact;
    bool jpeg = false;
    m_formatChosen = true;
    if (int failed = ChooseFormat(camera, m_format, exact, jpeg, m_error); failed != 0) {
        return failed;
    }
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->sink = std::move(sink);
    if (int failed = pipeline->Build(std::move(camera.element), exact.get(), jpeg, m_error);
        failed != 0) {
        return failed;
    }
    if (int failed = pipeline->Start(m_error); failed != 0) {
        return failed;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_pipeline = std::move(pipeline);
    return 0;
}

void CCameraCapture::Stop() {
    std::unique_ptr<Pipeline> stopped;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        stopped = std::move(m_pipeline);
    }
    stopped.reset();  // outside the lock: the last preview call may still run
}

int CCameraCapture::Snapshot(const std::string& path) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_pipeline) {
        m_error = "the camera does not run";
        return -1;
    }
    auto* still = GST_APP_SINK(m_pipeline->still);
    // A picture that slipped through when the valve last closed is old.
    while (GstSample* stale = gst_app_sink_try_pull_sample(still, 0)) {
        gst_sample_unref(stale);
    }
    g_object_set(m_pipeline->valve, "drop", FALSE, nullptr);
    GstSample* sample = gst_app_sink_try_pull_sample(
        still, static_cast<GstClockTime>(kSnapshotTimeoutMs) * GST_MSECOND);
    g_object_set(m_pipeline->valve, "drop", TRUE, nullptr);
    if (!sample) {
        m_error = "no picture for the snapshot";
        return -1;
    }
    int result = -1;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        if (FILE* file = fopen(path.c_str(), "wb")) {
            bool written = fwrite(map.data, 1, map.size, file) == map.size;
            written = fclose(file) == 0 && written;
            if (written) {
                result = 0;
            } else {
                remove(path.c_str());
            }
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    if (result != 0) {
        m_error = "snapshot file not written";
    }
    return result;
}
