#include "app/linux/GnomeProxy.h"

#include "app/linux/HostFiles.h"

#include <gio/gio.h>
#include <string>
#include <sys/stat.h>

namespace vantrel {

namespace {

using ProxyText::Kind;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsPtr = std::unique_ptr<GSettings, Unref>;

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

// `id` with its keys `keys` (name and value type each), on the default backend; none when the
// schema or one of its keys is missing or of another type, so that no read can fail later.
SettingsPtr settings(GSettingsSchemaSource* source, const char* id,
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
    SettingsPtr made(usable ? g_settings_new_full(schema, nullptr, nullptr) : nullptr);
    g_settings_schema_unref(schema);
    return made;
}

std::string text(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    std::string copy = value != nullptr ? value : "";
    g_free(value);
    return copy;
}

} // namespace

struct GnomeProxy::Settings {
    SettingsPtr proxy;
    struct Manual {
        Kind kind;
        SettingsPtr settings;
    };
    Manual manual[3];
};

GnomeProxy::GnomeProxy(std::unique_ptr<Settings> settings) : settings_(std::move(settings)) {}

GnomeProxy::~GnomeProxy() = default;

std::unique_ptr<GnomeProxy> GnomeProxy::open() {
    const SourcePtr source = schemaSource();
    if (!source) {
        return nullptr;
    }
    auto s = std::make_unique<Settings>();
    s->proxy =
        settings(source.get(), "org.gnome.system.proxy", {{"mode", "s"}, {"autoconfig-url", "s"}});
    const std::pair<Kind, const char*> children[] = {
        {Kind::web, "org.gnome.system.proxy.http"},
        {Kind::secureWeb, "org.gnome.system.proxy.https"},
        {Kind::socks, "org.gnome.system.proxy.socks"}};
    for (std::size_t i = 0; i < std::size(children); ++i) {
        s->manual[i] = {children[i].first,
                        settings(source.get(), children[i].second, {{"host", "s"}, {"port", "i"}})};
        if (!s->manual[i].settings) {
            return nullptr;
        }
    }
    if (!s->proxy) {
        return nullptr;
    }
    return std::unique_ptr<GnomeProxy>(new GnomeProxy(std::move(s)));
}

std::vector<ProxyText::Line> GnomeProxy::read() const {
    std::vector<ProxyText::Line> lines;
    const std::string mode = text(settings_->proxy.get(), "mode");
    if (mode == "manual") {
        for (const auto& [kind, child] : settings_->manual) {
            const std::string host = text(child.get(), "host");
            const int port = g_settings_get_int(child.get(), "port");
            // The host field is free text: a URL typed into it keeps only its host.
            auto address = ProxyText::parseAddress(host);
            if (address && port > 0 && port <= 65535) {
                address->port = port;
                lines.push_back(ProxyText::proxyLine(kind, *address));
            }
        }
    } else if (mode == "auto") {
        const std::string url = text(settings_->proxy.get(), "autoconfig-url");
        lines.push_back(url.empty() ? ProxyText::autoDiscoveryLine()
                                    : ProxyText::autoConfigLine(url));
    }
    return lines;
}

} // namespace vantrel
