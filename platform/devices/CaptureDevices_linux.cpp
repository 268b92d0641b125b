#include "platform/devices/CaptureDevices.h"

#include <gst/gst.h>

int ListCaptureDevices(CaptureCategory category, std::vector<std::string>& names) {
    names.clear();
    if (!gst_init_check(nullptr, nullptr, nullptr)) {
        return -1;
    }
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(
        monitor, category == CaptureCategory::kVideo ? "Video/Source" : "Audio/Source", nullptr);
    // Without start the monitor probes once and returns what it found.
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* item = devices; item; item = item->next) {
        gchar* name = gst_device_get_display_name(GST_DEVICE(item->data));
        if (name) {
            names.emplace_back(name);
            g_free(name);
        }
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
    return names.empty() ? -1 : 0;
}
