#include "platform/desktop/DesktopSession.h"

#include <gio/gio.h>

#include <cstdlib>

namespace {

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";
constexpr const char* kX11Platform = "xcb";
constexpr const char* kMutterWaylandSchema = "org.gnome.mutter.wayland";
constexpr const char* kGrabRulesKey = "xwayland-grab-access-rules";
constexpr char kDenyMark = '!';

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool Matches(const std::string& pattern, const std::string& resName, const std::string& resClass) {
    return (!resClass.empty() && g_pattern_match_simple(pattern.c_str(), resClass.c_str())) ||
           (!resName.empty() && g_pattern_match_simple(pattern.c_str(), resName.c_str()));
}

}  // namespace

bool PreferX11Platform() {
    if (IsSet(kPlatformVariable) || !IsSet("WAYLAND_DISPLAY") || !IsSet("DISPLAY")) {
        return false;
    }
    return setenv(kPlatformVariable, kX11Platform, 1) == 0;
}

std::string CurrentDesktopName() {
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    return value ? value : "";
}

std::optional<std::vector<std::string>> MutterGrabAccessRules() {
    // Creating settings of a schema that is not installed ends the process:
    // look it up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kMutterWaylandSchema, TRUE) : nullptr;
    if (!schema) {
        return std::nullopt;
    }
    const bool hasKey = g_settings_schema_has_key(schema, kGrabRulesKey);
    g_settings_schema_unref(schema);
    if (!hasKey) {
        return std::nullopt;
    }
    GSettings* settings = g_settings_new(kMutterWaylandSchema);
    gchar** values = g_settings_get_strv(settings, kGrabRulesKey);
    std::vector<std::string> rules;
    for (gchar** value = values; value && *value; ++value) {
        rules.emplace_back(*value);
    }
    g_strfreev(values);
    g_object_unref(settings);
    return rules;
}

bool MutterGrantsGrab(const std::vector<std::string>& rules, const std::string& resName,
                      const std::string& resClass, bool announced) {
    bool allowed = false;
    for (const std::string& rule : rules) {
        if (!rule.empty() && rule[0] == kDenyMark) {
            if (Matches(rule.substr(1), resName, resClass)) {
                return false;
            }
        } else if (Matches(rule, resName, resClass)) {
            allowed = true;
        }
    }
    return announced || allowed;
}
