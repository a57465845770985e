// A device rule as the USB policy daemon gives it for each device ("block id 05f3:0007 serial ""
// name "…" … via-port "1-1.2" with-interface { 03:01:01 }"), read as hostile text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct DeviceRule {
    enum class Target : std::uint8_t { allow, block, reject };

    Target target = Target::block;
    // The ids as written ("05f3", "*"); empty when the rule has none.
    std::string vendorID;
    std::string productID;
    // The quoted strings, unescaped: the device's own bytes (any bytes, not repaired here).
    std::string serial;
    std::string name;
    std::string hash;
    std::string parentHash;
    // The kernel name of the device; empty when the rule names none, or several (one-of { … }).
    std::string viaPort;
    std::string connectType;
    // Class, subclass and protocol of each interface, in the order given; at most
    // `interfaceLimit`, anything after them is left out. A "*" part is 0xFFFF.
    std::vector<std::array<std::uint16_t, 3>> interfaces;

    // The longest rule read, and the most interfaces kept.
    static constexpr std::size_t lengthLimit = 64 * 1024;
    static constexpr std::size_t interfaceLimit = 256;

    // The rule in `text`; none when it is longer than `lengthLimit`, has no target, has an
    // unterminated string or set, or a malformed id or interface. Attributes not listed above
    // (label, condition, …) are skipped.
    static std::optional<DeviceRule> parse(std::string_view text);
};

} // namespace vantrel
