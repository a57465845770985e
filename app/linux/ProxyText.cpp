#include "app/linux/ProxyText.h"

#include "app/linux/HostFiles.h"
#include "app/linux/NetParse.h"

#include <algorithm>

namespace vantrel::ProxyText {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD
constexpr std::string_view ellipsis = "\xE2\x80\xA6";    // U+2026

// Whether the character starting `rest` (well-formed UTF-8) moves or hides text rather than
// showing it: C0 and C1 controls, DEL, line and paragraph separators, bidirectional embeddings,
// overrides and isolates. Returns its length in bytes, or 0 for a character that is shown.
std::size_t hiding(std::string_view rest) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
    if (byte(0) < 0x20 || byte(0) == 0x7F) {
        return 1;
    }
    if (rest.size() >= 2 && byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {
        return 2;
    }
    if (rest.size() >= 3 && byte(0) == 0xE2) {
        const unsigned second = byte(1), third = byte(2);
        if ((second == 0x80 && third >= 0xA8 && third <= 0xAE) ||
            (second == 0x81 && third >= 0xA6 && third <= 0xA9)) {
            return 3;
        }
    }
    return 0;
}

// `text` as a line may carry it: valid UTF-8, every hiding character replaced by U+FFFD, and at
// most `limit` bytes before a closing "…".
std::string inert(std::string_view text, std::size_t limit) {
    const std::string repaired = HostFiles::repairedUTF8(text.substr(0, limit * 2));
    std::string out;
    std::string_view rest = repaired;
    bool cut = text.size() > limit * 2;
    while (!rest.empty()) {
        const std::size_t hidden = hiding(rest);
        std::size_t length = hidden;
        if (hidden == 0) {
            const auto lead = static_cast<unsigned char>(rest[0]);
            length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            length = std::min(length, rest.size());
        }
        const std::string_view shown = hidden != 0 ? replacement : rest.substr(0, length);
        if (out.size() + shown.size() > limit) {
            cut = true;
            break;
        }
        out += shown;
        rest.remove_prefix(length);
    }
    if (cut) {
        out += ellipsis;
    }
    return out;
}

std::string_view label(Kind kind) {
    switch (kind) {
    case Kind::web:
        return "Web";
    case Kind::secureWeb:
        return "Secure web";
    case Kind::socks:
        return "SOCKS";
    case Kind::autoConfig:
        return "Auto-config";
    case Kind::autoDiscovery:
        return "Auto-discovery (WPAD)";
    }
    return "";
}

// Everything up to the last "@" before the query is the user name and password (a password
// written with a "/" in it still goes).
std::string_view withoutUser(std::string_view rest) {
    const std::size_t at = rest.substr(0, rest.find_first_of("?#")).rfind('@');
    return at == std::string_view::npos ? rest : rest.substr(at + 1);
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

std::optional<Address> parseAddress(std::string_view value) {
    Address proxy;
    if (const std::size_t at = value.find("://"); at != std::string_view::npos) {
        for (char c : value.substr(0, at)) {
            proxy.scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        value.remove_prefix(at + 3);
    }
    value = withoutUser(value);
    value = value.substr(0, value.find_first_of("/?#"));
    std::string_view portText;
    if (value.starts_with('[')) {
        const std::size_t close = value.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        proxy.host = value.substr(1, close - 1);
        const std::string_view rest = value.substr(close + 1);
        portText = rest.starts_with(':') ? rest.substr(1) : std::string_view{};
    } else {
        const std::size_t colon = value.rfind(':');
        proxy.host = value.substr(0, colon);
        portText = colon == std::string_view::npos ? std::string_view{} : value.substr(colon + 1);
    }
    if (proxy.host.empty()) {
        return std::nullopt;
    }
    if (portText.size() <= 5) {
        if (const auto port = NetParse::number<long>(portText); port && *port <= 65535) {
            proxy.port = *port;
        }
    }
    return proxy;
}

Line proxyLine(Kind kind, const Address& address) {
    std::string text = std::string(label(kind)) + " " + inert(address.host, hostLimit);
    if (address.port) {
        text += ":" + std::to_string(*address.port);
    }
    return {kind, std::move(text)};
}

Line autoConfigLine(std::string_view url) {
    std::string shown;
    if (const std::size_t at = url.find("://"); at != std::string_view::npos) {
        shown = url.substr(0, at + 3);
        url.remove_prefix(at + 3);
        url = withoutUser(url);
    }
    shown += url.substr(0, url.find_first_of("?#"));
    return {Kind::autoConfig, "Auto-config " + inert(shown, urlLimit)};
}

Line autoDiscoveryLine() {
    return {Kind::autoDiscovery, std::string(label(Kind::autoDiscovery))};
}

std::vector<std::string> merged(std::vector<Line> lines) {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return a.kind < b.kind; });
    std::vector<std::string> texts;
    for (Line& line : lines) {
        if (std::find(texts.begin(), texts.end(), line.text) == texts.end()) {
            texts.push_back(std::move(line.text));
        }
    }
    return texts;
}

std::vector<Line> kioslaverc(std::string_view text) {
    std::optional<long> type;
    std::string_view script;
    std::string_view manual[3]; // web, secure web, SOCKS; a later entry wins
    bool inGroup = false;
    for (std::string_view line : NetParse::lines(text)) {
        line = trimmed(line);
        if (line.starts_with('[')) {
            inGroup = line == "[Proxy Settings]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos) {
            continue;
        }
        std::string_view key = trimmed(line.substr(0, equals));
        key = key.substr(0, key.find('[')); // "httpProxy[$e]": a flag, not another key
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "ProxyType") {
            type = NetParse::number<long>(value);
        } else if (key == "Proxy Config Script") {
            script = value;
        } else if (key == "httpProxy") {
            manual[0] = value;
        } else if (key == "httpsProxy") {
            manual[1] = value;
        } else if (key == "socksProxy") {
            manual[2] = value;
        }
    }
    std::vector<Line> lines;
    if (type == 1) {
        for (const Kind kind : {Kind::web, Kind::secureWeb, Kind::socks}) {
            const std::string_view value = manual[static_cast<std::size_t>(kind)];
            // "http://host 8080": the port after a space; "http://host:8080" also occurs.
            const std::size_t space = value.rfind(' ');
            auto address = parseAddress(value.substr(0, space));
            if (address && space != std::string_view::npos) {
                const auto port = NetParse::number<long>(trimmed(value.substr(space + 1)));
                address->port = port && *port > 0 && *port <= 65535 ? port : std::nullopt;
            }
            if (address) {
                lines.push_back(proxyLine(kind, *address));
            }
        }
    } else if (type == 2) {
        lines.push_back(autoConfigLine(script));
    } else if (type == 3) {
        lines.push_back(autoDiscoveryLine());
    }
    return lines;
}

} // namespace vantrel::ProxyText
