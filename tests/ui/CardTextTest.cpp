// The window's pure texts: which symbol a device gets, the port and network detail lines, the
// device key, counted nouns and the hub depth read from a location id.
#include "app/ui/CardText.h"

#include "core/LocaleText.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel::ui {
namespace {

using Caps = std::vector<Capability>;

USBDevice withCaps(Caps caps) {
    USBDevice d;
    d.caps = std::move(caps);
    return d;
}

TEST(CardTextSymbol, FirstRuleThatAppliesWins) {
    const struct {
        Caps caps;
        std::string symbol;
    } cases[] = {
        {{}, "cable.connector.horizontal"},
        {{Capability::input}, "keyboard"},
        {{Capability::storage, Capability::input}, "keyboard"},
        {{Capability::input, Capability::storage}, "keyboard"},
        {{Capability::network, Capability::serial}, "cable.connector"},
        {{Capability::network, Capability::audio}, "network"},
        {{Capability::audio, Capability::camera}, "web.camera"},
        {{Capability::audio, Capability::storage}, "mic"},
        {{Capability::storage, Capability::hub}, "sdcard"},
        {{Capability::display, Capability::firmware}, "display"},
        {{Capability::firmware, Capability::vendor}, "cpu"},
        {{Capability::hub}, "cable.connector.horizontal"},
        {{Capability::printer}, "cable.connector.horizontal"},
        {{Capability::printer, Capability::vendor, Capability::hub}, "cable.connector.horizontal"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(symbol(withCaps(c.caps)), c.symbol) << withCaps(c.caps).capsText();
    }
}

TEST(CardTextPortDetail, StateAuthorisationAndCount) {
    const struct {
        bool connected;
        std::optional<std::string> authorization;
        std::int64_t connections;
        std::string detail;
    } cases[] = {
        {false, std::nullopt, 0, "Empty \u00B7 0 devices attached"},
        // An empty port says "Empty" whatever authorisation is left over from before.
        {false, "Authorized", 3, "Empty \u00B7 3 devices attached"},
        {true, std::nullopt, 1, "1 device attached"},
        {true, "Authorized", 2, "Allowed by you \u00B7 2 devices attached"},
        {true, "Not Required", 1, "No approval needed \u00B7 1 device attached"},
        {true, "No Action", 5, "Not allowed yet \u00B7 5 devices attached"},
        {true, "authorized", 6, "authorized \u00B7 6 devices attached"},
        {true, "Pending <b>", 7, "Pending <b> \u00B7 7 devices attached"},
    };
    for (const auto& c : cases) {
        PortInfo port;
        port.connected = c.connected;
        port.authorization = c.authorization;
        port.connections = c.connections;
        EXPECT_EQ(portDetail(port), c.detail);
    }
}

NetInterface interface(std::vector<std::string> ipv4, double inRate, double outRate,
                       std::uint64_t inBytes, std::uint64_t outBytes) {
    NetInterface net;
    net.id = "usb0";
    net.ipv4 = std::move(ipv4);
    net.inRate = inRate;
    net.outRate = outRate;
    net.counters.inBytes = inBytes;
    net.counters.outBytes = outBytes;
    return net;
}

TEST(CardTextNetworkDetail, AddressRatesAndTotals) {
    const struct {
        NetInterface net;
        std::string detail;
    } cases[] = {
        {interface({"192.168.1.20", "10.0.0.2"}, 999.9, 2500, 2'500'000, 12'000),
         "192.168.1.20 \u00B7 \u2193 999 bytes/s \u2191 3 KB/s \u00B7 total \u2193 2.5 MB \u2191 "
         "12 KB"},
        {interface({}, 0, 1, 0, 1),
         "No address \u00B7 \u2193 0 bytes/s \u2191 1 byte/s \u00B7 total \u2193 0 bytes \u2191 "
         "1 byte"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(networkDetail(c.net), c.detail);
    }
}

TEST(CardTextNetworkDetail, ValuesOutsideTheRangeAreHeldAtItsEnds) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    const std::string maxText = LocaleText::byteCount(max);
    const std::string minText = LocaleText::byteCount(min);
    const std::string zero = LocaleText::byteCount(0);
    const struct {
        double inRate, outRate;
        std::uint64_t counters;
        std::string in, out, total;
    } cases[] = {
        {std::nan(""), -std::nan(""), 0, zero, zero, zero},
        {inf, -inf, std::numeric_limits<std::uint64_t>::max(), maxText, minText, maxText},
        {1e30, -1e30, static_cast<std::uint64_t>(max) + 1, maxText, minText, maxText},
        {9223372036854775808.0, -9223372036854775808.0, static_cast<std::uint64_t>(max), maxText,
         minText, maxText},
    };
    for (const auto& c : cases) {
        const std::string detail =
            networkDetail(interface({"10.0.0.1"}, c.inRate, c.outRate, c.counters, c.counters));
        EXPECT_EQ(detail, "10.0.0.1 \u00B7 \u2193 " + c.in + "/s \u2191 " + c.out +
                              "/s \u00B7 total \u2193 " + c.total + " \u2191 " + c.total);
    }
}

TEST(CardTextDeviceKey, LowerCaseIdsThenSerial) {
    USBDevice d;
    d.vendorID = 0x1A86;
    d.productID = 0x7;
    d.serial = "AB:cd 1";
    EXPECT_EQ(deviceKey(d), "1a86:0007:AB:cd 1");
    d.serial.clear();
    EXPECT_EQ(deviceKey(d), "1a86:0007:");
}

TEST(CardTextCounted, SingularOnlyForOne) {
    EXPECT_EQ(counted(0, "device"), "0 devices");
    EXPECT_EQ(counted(1, "device"), "1 device");
    EXPECT_EQ(counted(2, "thing"), "2 things");
    EXPECT_EQ(counted(11, "device"), "11 devices");
}

TEST(CardTextHubDepth, NonZeroDigitsOfTheLow24Bits) {
    const struct {
        std::int64_t locationID;
        int depth;
    } cases[] = {
        {0x01100000, 1}, {0x01120000, 2}, {0x01123000, 3}, {0x14123456, 6},
        {0x01000000, 0}, {0x01101010, 3}, // zero digits between hub ports do not count
        {0xFF000001, 1},                  // the bus byte is left out
        {-1, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hubDepth(c.locationID), c.depth) << std::hex << c.locationID;
    }
}

} // namespace
} // namespace vantrel::ui
