// The window's pure texts: a device's symbol, the port and network detail lines, the device key,
// counted nouns and the hub depth, all without Qt so that they can be tested anywhere.
#include "app/ui/CardText.h"

#include "core/LocaleText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace vantrel::ui {
namespace {

constexpr std::string_view dot = " \u00B7 ";
constexpr std::string_view down = "\u2193";
constexpr std::string_view up = "\u2191";

bool has(const USBDevice& device, Capability capability) {
    return std::find(device.caps.begin(), device.caps.end(), capability) != device.caps.end();
}

// A rate in bytes per second as whole bytes: truncated, NaN as nothing, and anything beyond the
// 64-bit range held at its end (casting such a double would be undefined).
std::int64_t wholeBytes(double rate) {
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::isnan(rate)) {
        return 0;
    }
    if (rate >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (rate <= -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(rate);
}

std::int64_t wholeBytes(std::uint64_t count) {
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(count, max));
}

} // namespace

std::string symbol(const USBDevice& device) {
    if (device.caps.empty()) {
        return "cable.connector.horizontal";
    }
    struct Rule {
        Capability::Value capability;
        const char* symbol;
    };
    static constexpr std::array<Rule, 8> rules{{
        {Capability::input, "keyboard"},
        {Capability::serial, "cable.connector"},
        {Capability::network, "network"},
        {Capability::camera, "web.camera"},
        {Capability::audio, "mic"},
        {Capability::storage, "sdcard"},
        {Capability::display, "display"},
        {Capability::firmware, "cpu"},
    }};
    for (const Rule& rule : rules) {
        if (has(device, rule.capability)) {
            return rule.symbol;
        }
    }
    return "cable.connector.horizontal";
}

std::string portDetail(const PortInfo& port) {
    std::string text;
    if (!port.connected) {
        text = "Empty";
    } else if (port.authorization) {
        const std::string& auth = *port.authorization;
        if (auth == "Authorized") {
            text = "Allowed by you";
        } else if (auth == "Not Required") {
            text = "No approval needed";
        } else if (auth == "No Action") {
            text = "Not allowed yet";
        } else {
            text = auth;
        }
    }
    if (!text.empty()) {
        text += dot;
    }
    // The scanner counts the devices attached to the port now.
    return text + (port.connections == 1 ? std::string("1 device attached")
                                         : std::to_string(port.connections) + " devices attached");
}

std::string networkDetail(const NetInterface& net) {
    using LocaleText::byteCount;
    std::string text = net.ipv4.empty() ? std::string("No address") : net.ipv4.front();
    text += dot;
    text += std::string(down) + " " + byteCount(wholeBytes(net.inRate)) + "/s " + std::string(up) +
            " " + byteCount(wholeBytes(net.outRate)) + "/s";
    text += dot;
    text += "total " + std::string(down) + " " + byteCount(wholeBytes(net.counters.inBytes)) + " " +
            std::string(up) + " " + byteCount(wholeBytes(net.counters.outBytes));
    return text;
}

std::string deviceKey(const USBDevice& device) {
    // The Monitor files approvals under the same "vvvv:pppp:{serial}" key.
    return device.key();
}

std::string counted(std::size_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

int hubDepth(std::int64_t locationID) {
    int depth = 0;
    for (auto bits = static_cast<std::uint64_t>(locationID) & 0xFFFFFFu; bits != 0; bits >>= 4) {
        if ((bits & 0xFu) != 0) {
            ++depth;
        }
    }
    return depth;
}

} // namespace vantrel::ui
