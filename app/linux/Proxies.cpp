#include "app/linux/Proxies.h"

#include "app/linux/HostFiles.h"

#include <cstdlib>
#include <string_view>

namespace vantrel::Scanner {
namespace {

using ProxyText::Kind;
using ProxyText::Line;

// kioslaverc is a few hundred bytes; anything past this is not read.
constexpr std::size_t kdeFileLimit = 64 * 1024;

// A proxy variable, lower-case form first; an empty value counts as unset.
std::optional<std::string_view> variable(const char* lower, const char* upper) {
    for (const char* name : {lower, upper}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return std::nullopt;
}

// http_proxy, https_proxy and all_proxy. all_proxy is a SOCKS proxy unless its scheme says HTTP;
// then it stands in for whichever of http_proxy and https_proxy is unset.
std::vector<Line> environment() {
    const auto read = [](const char* lower, const char* upper) {
        const auto value = variable(lower, upper);
        return value ? ProxyText::parseAddress(*value) : std::nullopt;
    };
    auto web = read("http_proxy", "HTTP_PROXY");
    auto secure = read("https_proxy", "HTTPS_PROXY");
    auto socks = read("all_proxy", "ALL_PROXY");
    if (socks && (socks->scheme == "http" || socks->scheme == "https")) {
        if (!web) {
            web = socks;
        }
        if (!secure) {
            secure = socks;
        }
        socks.reset();
    }
    std::vector<Line> lines;
    for (const auto& [kind, address] :
         {std::pair{Kind::web, &web}, std::pair{Kind::secureWeb, &secure},
          std::pair{Kind::socks, &socks}}) {
        if (*address) {
            lines.push_back(ProxyText::proxyLine(kind, **address));
        }
    }
    return lines;
}

// $XDG_CONFIG_HOME/kioslaverc, or ~/.config/kioslaverc; none when neither is known.
std::optional<std::string> kdeFile() {
    const auto config = HostFiles::configHome();
    return config ? std::optional(HostFiles::path(*config + "/kioslaverc")) : std::nullopt;
}

} // namespace

std::vector<std::string> ProxySources::read() {
    if (!gnome_) {
        gnome_ = GnomeProxy::open();
    }
    std::vector<Line> lines = *gnome_ ? (*gnome_)->read() : std::vector<Line>{};

    const auto file = kdeFile();
    const FileStamp now = file ? stamp(*file) : FileStamp{};
    if (!file || *file != kdeFile_ || now != kdeStamp_) {
        const auto text = now.present ? HostFiles::read(*file, kdeFileLimit) : std::nullopt;
        kdeLines_ = text ? ProxyText::kioslaverc(*text) : std::vector<Line>{};
        kdeFile_ = file.value_or(std::string());
        kdeStamp_ = now;
    }
    lines.insert(lines.end(), kdeLines_.begin(), kdeLines_.end());

    const auto own = environment();
    lines.insert(lines.end(), own.begin(), own.end());
    return ProxyText::merged(std::move(lines));
}

} // namespace vantrel::Scanner
