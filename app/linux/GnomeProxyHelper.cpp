// vantrel-gnome-proxy: prints GNOME's proxy settings (org.gnome.system.proxy and its http, https
// and socks children) as one JSON object, read through GSettings, and exits. The tray runs it only
// when a file the settings come from changed, so that GIO never loads into the tray itself.
//
// Output: {"mode": …, "autoconfig-url": …, "http": {"host": …, "port": …}, "https": …, "socks": …},
// or {} when the schema is not installed or lacks one of these keys. Under $VANTREL_ROOT the
// schemas are those compiled in its /usr/share/glib-2.0/schemas and the settings those of its
// keyfile <config home>/glib-2.0/settings/keyfile; otherwise GSettings looks where it always does.

#define G_SETTINGS_ENABLE_BACKEND
#include "app/linux/HostFiles.h"

#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <iostream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>

#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsPtr = std::unique_ptr<GSettings, Unref>;
using BackendPtr = std::unique_ptr<GSettingsBackend, Unref>;

struct SourceUnref {
    void operator()(GSettingsSchemaSource* source) const { g_settings_schema_source_unref(source); }
};
using SourcePtr = std::unique_ptr<GSettingsSchemaSource, SourceUnref>;

SourcePtr schemaSource() {
    if (!HostFiles::rooted()) {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        return SourcePtr(source != nullptr ? g_settings_schema_source_ref(source) : nullptr);
    }
    const std::string folder = HostFiles::path("/usr/share/glib-2.0/schemas");
    // A tree with no compiled schemas has no settings; GLib is not asked to find that out, which
    // costs it an error message.
    struct stat info {};
    if (::stat((folder + "/gschemas.compiled").c_str(), &info) != 0) {
        return nullptr;
    }
    GError* error = nullptr;
    GSettingsSchemaSource* source =
        g_settings_schema_source_new_from_directory(folder.c_str(), nullptr, TRUE, &error);
    g_clear_error(&error);
    return SourcePtr(source);
}

// The default backend, or under $VANTREL_ROOT the keyfile of its user's configuration.
BackendPtr backend() {
    if (!HostFiles::rooted()) {
        return BackendPtr(g_settings_backend_get_default());
    }
    const auto config = HostFiles::configHome();
    if (!config) {
        return nullptr;
    }
    const std::string file = HostFiles::path(*config + "/glib-2.0/settings/keyfile");
    return BackendPtr(g_keyfile_settings_backend_new(file.c_str(), "/", nullptr));
}

// `id` with its keys `keys` (name and value type each); none when the schema or one of its keys
// is missing or of another type, so that no read can fail later.
SettingsPtr settings(GSettingsSchemaSource* source, GSettingsBackend* backend, const char* id,
                     std::initializer_list<std::pair<const char*, const char*>> keys) {
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (schema == nullptr) {
        return nullptr;
    }
    bool usable = true;
    for (const auto& [name, type] : keys) {
        if (!g_settings_schema_has_key(schema, name)) {
            usable = false;
            break;
        }
        GSettingsSchemaKey* key = g_settings_schema_get_key(schema, name);
        usable =
            g_variant_type_equal(g_settings_schema_key_get_value_type(key), G_VARIANT_TYPE(type));
        g_settings_schema_key_unref(key);
        if (!usable) {
            break;
        }
    }
    SettingsPtr made(usable ? g_settings_new_full(schema, backend, nullptr) : nullptr);
    g_settings_schema_unref(schema);
    return made;
}

std::string text(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    std::string copy = value != nullptr ? value : "";
    g_free(value);
    return copy;
}

nlohmann::json read() {
    const SourcePtr source = schemaSource();
    const BackendPtr store = backend();
    if (!source || !store) {
        return nlohmann::json::object();
    }
    const SettingsPtr proxy = settings(source.get(), store.get(), "org.gnome.system.proxy",
                                       {{"mode", "s"}, {"autoconfig-url", "s"}});
    if (!proxy) {
        return nlohmann::json::object();
    }
    nlohmann::json found = {{"mode", text(proxy.get(), "mode")},
                            {"autoconfig-url", text(proxy.get(), "autoconfig-url")}};
    for (const char* child : {"http", "https", "socks"}) {
        const std::string id = std::string("org.gnome.system.proxy.") + child;
        const SettingsPtr manual =
            settings(source.get(), store.get(), id.c_str(), {{"host", "s"}, {"port", "i"}});
        if (!manual) {
            return nlohmann::json::object();
        }
        found[child] = {{"host", text(manual.get(), "host")},
                        {"port", g_settings_get_int(manual.get(), "port")}};
    }
    return found;
}

} // namespace
} // namespace vantrel

int main() {
    // GSettings strings are UTF-8; anything else is replaced rather than failing the dump.
    std::cout << vantrel::read().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
              << '\n';
    return std::cout.good() ? 0 : 1;
}
