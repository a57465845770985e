#include "app/linux/NetParse.h"

#include <algorithm>
#include <cstdint>

namespace vantrel::NetParse {
namespace {

constexpr unsigned routeUp = 0x1, routeGateway = 0x2; // RTF_UP, RTF_GATEWAY

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An address of /proc/net/route: the 32-bit value in network order, printed in hexadecimal by
// a little-endian machine, so the first octet is the lowest byte.
std::optional<std::string> dottedQuad(std::string_view hex) {
    if (hex.size() > 8) {
        return std::nullopt;
    }
    const auto value = number<std::uint32_t>(hex, 16);
    if (!value) {
        return std::nullopt;
    }
    return std::to_string(*value & 0xFF) + "." + std::to_string((*value >> 8) & 0xFF) + "." +
           std::to_string((*value >> 16) & 0xFF) + "." + std::to_string(*value >> 24);
}

} // namespace

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < line.size() && !isBlank(line[end])) {
            ++end;
        }
        if (end > at) {
            result.push_back(line.substr(at, end - at));
        }
        at = end;
    }
    return result;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        result.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

std::vector<std::pair<std::string, IfCounters>> interfaceTable(std::string_view procNetDev) {
    std::vector<std::pair<std::string, IfCounters>> result;
    for (std::string_view line : lines(procNetDev)) {
        // "  eth0: rx-bytes rx-packets errs drop fifo frame compressed multicast tx-bytes
        // tx-packets …"; the two heading lines have no colon. Interface names cannot hold one.
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const auto name = words(line.substr(0, colon));
        const auto fields = words(line.substr(colon + 1));
        if (name.size() != 1 || fields.size() < 10) {
            continue;
        }
        const auto inBytes = number<std::uint64_t>(fields[0]);
        const auto inPackets = number<std::uint64_t>(fields[1]);
        const auto outBytes = number<std::uint64_t>(fields[8]);
        const auto outPackets = number<std::uint64_t>(fields[9]);
        if (!inBytes || !inPackets || !outBytes || !outPackets) {
            continue;
        }
        result.emplace_back(std::string(name[0]),
                            IfCounters{*inBytes, *outBytes, *inPackets, *outPackets});
    }
    return result;
}

std::optional<DefaultRoute> defaultRoute(std::string_view procNetRoute) {
    std::optional<DefaultRoute> best;
    unsigned long bestMetric = 0;
    bool heading = true;
    for (std::string_view line : lines(procNetRoute)) {
        if (std::exchange(heading, false)) {
            continue; // Iface Destination Gateway Flags RefCnt Use Metric Mask …
        }
        const auto fields = words(line);
        if (fields.size() < 8) {
            continue;
        }
        const auto destination = number<std::uint32_t>(fields[1], 16);
        const auto flags = number<unsigned>(fields[3], 16);
        const auto metric = number<unsigned long>(fields[6]);
        const auto mask = number<std::uint32_t>(fields[7], 16);
        if (destination != 0U || mask != 0U || !flags || !metric || (*flags & routeUp) == 0) {
            continue;
        }
        if (best && *metric >= bestMetric) {
            continue;
        }
        DefaultRoute route{std::string(fields[0]), std::nullopt};
        if ((*flags & routeGateway) != 0 && number<std::uint32_t>(fields[2], 16) != 0U) {
            route.router = dottedQuad(fields[2]);
        }
        best = std::move(route);
        bestMetric = *metric;
    }
    return best;
}

std::vector<std::string> nameservers(std::string_view resolvConf) {
    std::vector<std::string> servers;
    for (std::string_view line : lines(resolvConf)) {
        const auto fields = words(line);
        if (fields.size() >= 2 && fields[0] == "nameserver") {
            servers.emplace_back(fields[1]);
        }
    }
    return servers;
}

} // namespace vantrel::NetParse
