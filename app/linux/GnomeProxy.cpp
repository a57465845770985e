#include "app/linux/GnomeProxy.h"

#include "app/linux/Actions.h"
#include "app/linux/HostFiles.h"
#include "app/linux/OwnPrograms.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

namespace vantrel {

namespace {

using ProxyText::Kind;
using Json = nlohmann::json;

constexpr const char* helperName = "vantrel-gnome-proxy";
// Reading a few keys takes the helper milliseconds; a helper stuck past this is killed.
constexpr std::chrono::milliseconds helperTimeout{5'000};

std::string textOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A colon-separated list of folders, as GLib splits it; empty parts are left out.
std::vector<std::string> folders(const char* list) {
    std::vector<std::string> parts;
    std::string_view rest = list != nullptr ? list : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (const auto part = rest.substr(0, colon); !part.empty()) {
            parts.emplace_back(part);
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return parts;
}

// The folders whose glib-2.0/schemas GSettings reads: every XDG data folder of the system and of
// the user. Under $VANTREL_ROOT the helper reads only its /usr/share.
std::vector<std::string> dataFolders() {
    if (HostFiles::rooted()) {
        return {"/usr/share"};
    }
    const char* system = std::getenv("XDG_DATA_DIRS");
    std::vector<std::string> found =
        folders(system != nullptr && *system != '\0' ? system : "/usr/local/share/:/usr/share/");
    if (const char* user = std::getenv("XDG_DATA_HOME"); user != nullptr && *user == '/') {
        found.emplace_back(user);
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        found.push_back(std::string(home) + "/.local/share");
    }
    return found;
}

} // namespace

GnomeProxy::GnomeProxy(std::string helper) : helper_(std::move(helper)) {
    for (const auto& file : sources()) {
        files_.push_back(HostFiles::path(file));
    }
    stamps_.resize(files_.size());
}

std::unique_ptr<GnomeProxy> GnomeProxy::open() {
    std::optional<std::string> helper;
    if (HostFiles::rooted()) {
        // Actions::run takes the path under the root in turn.
        const std::string installed = std::string("/usr/lib/vantrel/") + helperName;
        if (HostFiles::executable(HostFiles::path(installed))) {
            helper = installed;
        }
    } else {
        helper = OwnPrograms::find(helperName);
    }
    return helper ? std::unique_ptr<GnomeProxy>(new GnomeProxy(std::move(*helper))) : nullptr;
}

std::vector<std::string> GnomeProxy::sources() {
    std::vector<std::string> files;
    if (const auto config = HostFiles::configHome()) {
        files.push_back(*config + "/dconf/user");
        files.push_back(*config + "/glib-2.0/settings/keyfile");
    }
    files.emplace_back("/etc/dconf/profile");
    files.emplace_back("/etc/dconf/db");
    for (const auto& folder : dataFolders()) {
        files.push_back(folder + "/glib-2.0/schemas/gschemas.compiled");
    }
    if (!HostFiles::rooted()) {
        for (const auto& folder : folders(std::getenv("GSETTINGS_SCHEMA_DIR"))) {
            files.push_back(folder + "/gschemas.compiled");
        }
    }
    return files;
}

std::vector<ProxyText::Line> GnomeProxy::read() {
    // Stamped before the helper reads, so that a change made while it runs is read next time.
    bool changed = !ran_;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        FileStamp now = stamp(files_[i]);
        changed = changed || now != stamps_[i];
        stamps_[i] = now;
    }
    if (changed) {
        const Actions::Result result = Actions::run(helper_, {}, helperTimeout);
        lines_ = result.status == 0 ? lines(result.output) : std::vector<ProxyText::Line>{};
        ran_ = true;
    }
    return lines_;
}

std::vector<ProxyText::Line> GnomeProxy::lines(std::string_view output) {
    std::vector<ProxyText::Line> lines;
    const Json settings = Json::parse(output, nullptr, false);
    if (!settings.is_object()) {
        return lines;
    }
    const std::string mode = textOf(settings, "mode");
    if (mode == "manual") {
        for (const auto& [kind, child] :
             {std::pair{Kind::web, "http"}, std::pair{Kind::secureWeb, "https"},
              std::pair{Kind::socks, "socks"}}) {
            const auto manual = settings.find(child);
            if (manual == settings.end()) {
                continue;
            }
            const auto port = manual->find("port");
            // The host field is free text: a URL typed into it keeps only its host.
            auto address = ProxyText::parseAddress(textOf(*manual, "host"));
            if (address && port != manual->end() && port->is_number_integer() &&
                port->get<long>() > 0 && port->get<long>() <= 65535) {
                address->port = port->get<long>();
                lines.push_back(ProxyText::proxyLine(kind, *address));
            }
        }
    } else if (mode == "auto") {
        const std::string url = textOf(settings, "autoconfig-url");
        lines.push_back(url.empty() ? ProxyText::autoDiscoveryLine()
                                    : ProxyText::autoConfigLine(url));
    }
    return lines;
}

} // namespace vantrel
