// The records the probes give the Monitor: USB devices, input devices, ports, network
// interfaces and configuration, and the keyboards the keyboard watcher reports.
#pragma once

#include "core/Capability.h"
#include "core/Timestamp.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct USBDevice {
    std::uint64_t id = 0; // one plug-in: a re-plugged device gets a new id
    std::string name;
    std::string vendor;
    std::int64_t vendorID = 0;
    std::int64_t productID = 0;
    std::string serial;
    std::int64_t locationID = 0;
    std::vector<Capability> caps; // each at most once, in Capability order
    bool blocked = false;         // held back by the kernel until the user allows it
    // Held back by an explicit rule of the device policy: the administrator's decision, which
    // nobody is asked about.
    bool policyHeld = false;
    std::vector<std::string> serialPaths;
    std::vector<std::string> disks;
    std::vector<std::string> netNames;

    // "{name} (VVVV:PPPP)" with upper-case hexadecimal ids.
    std::string label() const;
    // The labels of `caps` joined with ", ", or "none reported".
    std::string capsText() const;
    // One physical device across plug-ins: "vvvv:pppp:{serial}" with lower-case ids.
    std::string key() const;
    // The codes of `caps`, in order.
    std::vector<std::string> codes() const;

    friend bool operator==(const USBDevice&, const USBDevice&) = default;
};

struct InputDevice {
    std::string name;
    std::string transport;
    std::int64_t vendorID = 0;
    std::int64_t productID = 0;
    bool builtIn = false;
    std::string kind; // "Keyboard" or "Mouse/trackpad"

    // "{transport}|{vendorID}|{productID}|{name}" with decimal ids.
    std::string key() const;

    friend bool operator==(const InputDevice&, const InputDevice&) = default;
};

struct PortInfo {
    std::string id; // the port's description; identity and sort key
    std::string name;
    bool connected = false;
    std::int64_t connections = 0; // the devices attached to the port now
    std::optional<std::string> authorization;
    bool pending = false; // the accessory prompt for this port is showing

    friend bool operator==(const PortInfo&, const PortInfo&) = default;
};

struct IfCounters {
    std::uint64_t inBytes = 0;
    std::uint64_t outBytes = 0;
    std::uint64_t inPackets = 0;
    std::uint64_t outPackets = 0;

    friend bool operator==(const IfCounters&, const IfCounters&) = default;
};

struct NetInterface {
    std::string id; // kernel name, such as wlan0
    std::string name;
    bool isWiFi = false;
    bool active = false;
    std::vector<std::string> ipv4;
    IfCounters counters;
    bool isPrimary = false;
    bool isUSB = false;
    double inRate = 0; // bytes per second, filled in by the Monitor
    double outRate = 0;

    friend bool operator==(const NetInterface&, const NetInterface&) = default;
};

struct NetConfig {
    std::optional<std::string> primary;
    std::optional<std::string> router;
    std::vector<std::string> dns;
    std::vector<std::string> proxies;

    friend bool operator==(const NetConfig&, const NetConfig&) = default;
};

// A keyboard as the keyboard watcher saw it at its first key press.
struct Keyboard {
    std::uint64_t registryID = 0;
    std::string name;
    bool builtIn = false;
    Timestamp firstSeen;

    friend bool operator==(const Keyboard&, const Keyboard&) = default;
};

// "Port-USB-C@2" reads "USB-C port 2"; anything else reads as its first "@" piece.
std::string prettyPortName(std::string_view description);

} // namespace vantrel
