// The network tables as the kernel and the resolver write them: /proc/net/dev, /proc/net/route
// and resolv.conf. Pure functions over the text; the network probes read the files.
#pragma once

#include "app/engine/Devices.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace vantrel::NetParse {

// The lines of `text`, without their line feeds.
std::vector<std::string_view> lines(std::string_view text);

// The words of `line`, split at spaces, tabs, carriage returns and line feeds.
std::vector<std::string_view> words(std::string_view line);

// The whole of `text` as a number in `base`; none for anything else (signs, blanks, overflow).
template <typename Number> std::optional<Number> number(std::string_view text, int base = 10) {
    Number value{};
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || stop != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The interfaces of /proc/net/dev with their counters, in the table's order; lines that do not
// parse are left out.
std::vector<std::pair<std::string, IfCounters>> interfaceTable(std::string_view procNetDev);

struct DefaultRoute {
    std::string interface;
    std::optional<std::string> router; // dotted quad, when the route goes through a gateway
};

// The default route of /proc/net/route with the lowest metric, the first of equals; none when
// no line is an IPv4 default route that is up.
std::optional<DefaultRoute> defaultRoute(std::string_view procNetRoute);

// The servers of the "nameserver" lines of a resolv.conf, in order.
std::vector<std::string> nameservers(std::string_view resolvConf);

} // namespace vantrel::NetParse
