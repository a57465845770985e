// The machine's physical USB ports and what is plugged into them.
//
// Two kinds of port are listed:
// - Type-C connectors, /sys/class/typec/portN, described "Port-USB-C@{N+1}" so that they read
//   "USB-C port 1", "USB-C port 2", … (the kernel counts from 0, people from 1).
// - Hot-plug ports of the root hubs, /sys/bus/usb/devices/usbN/N-0:1.0/usbN-portM with
//   connect_type "hotplug", described "Port-USB port N-M" so that they read "USB port N-M": the
//   same N-M the kernel names the device plugged into it by, distinct for every port. A USB 3
//   port shows on two root hubs (its USB 2 and USB 3 halves, linked to each other by `peer`);
//   the pair is one port, named after the half with the lower bus number. A root-hub port
//   wired to a Type-C connector (it has a `connector` link) is listed as that connector only.
//
// Linux has no accessory-approval prompt. What stands for it is USB authorization: when a root
// hub's authorized_default is 0 (hold every new device back) or 2 (allow only internal ones),
// a device plugged in stays with authorized = 0 until it is allowed. A port is pending while a
// device attached through it is held back like that.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vantrel::Scanner {

namespace {

namespace fs = std::filesystem;

std::optional<unsigned long> number(std::string_view digits) {
    unsigned long value = 0;
    if (digits.empty() || digits.size() > 9) {
        return std::nullopt;
    }
    const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || stop != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// A hub port's folder name, "<hub>-port<M>": the root hub usb1's port 2 is usb1-port2, port 3
// of the hub plugged in there is 1-2-port3.
struct HubPort {
    std::string hub;
    unsigned long port = 0;

    static std::optional<HubPort> parse(std::string_view name) {
        const std::size_t at = name.rfind("-port");
        if (at == std::string_view::npos || at == 0) {
            return std::nullopt;
        }
        const auto port = number(name.substr(at + 5));
        if (!port) {
            return std::nullopt;
        }
        return HubPort{std::string(name.substr(0, at)), *port};
    }

    // The root hub's bus number for usbN, else the hub device's bus ("1-2" is on bus 1).
    std::optional<unsigned long> bus() const {
        if (hub.starts_with("usb")) {
            return number(std::string_view(hub).substr(3));
        }
        return number(std::string_view(hub).substr(0, hub.find('-')));
    }

    // The name of the device plugged into this port: usb1-port2 → 1-2, 1-2-port3 → 1-2.3.
    std::optional<std::string> childName() const {
        if (hub.starts_with("usb")) {
            const auto bus = this->bus();
            return bus ? std::optional(std::to_string(*bus) + "-" + std::to_string(port))
                       : std::nullopt;
        }
        return hub + "." + std::to_string(port);
    }
};

// What one scan needs of the USB bus: the devices present, by name (1-2, 1-2.3; root hubs and
// interfaces are not devices here).
struct Bus {
    std::vector<std::string> devices;

    static Bus read() {
        Bus bus;
        for (const HostFiles::Entry& entry :
             HostFiles::entries(HostFiles::path("/sys/bus/usb/devices"))) {
            const std::string& name = entry.name;
            if (!name.empty() && name.find(':') == std::string::npos && !name.starts_with("usb")) {
                bus.devices.push_back(name);
            }
        }
        return bus;
    }

    // The devices attached through the ports named: the one in each port and all behind it.
    std::vector<std::string> below(const std::vector<HubPort>& ports) const {
        std::set<std::string> found;
        for (const HubPort& port : ports) {
            const auto child = port.childName();
            if (!child) {
                continue;
            }
            for (const std::string& device : devices) {
                if (device == *child ||
                    (device.starts_with(*child) && device[child->size()] == '.')) {
                    found.insert(device);
                }
            }
        }
        return {found.begin(), found.end()};
    }
};

fs::path deviceFolder(std::string_view name) {
    return HostFiles::path("/sys/bus/usb/devices") / std::string(name);
}

// Fills in connected, connections, authorization and pending from the devices attached.
void describeAttached(PortInfo& port, const std::vector<std::string>& attached) {
    port.connections = static_cast<std::int64_t>(attached.size());
    port.connected = !attached.empty();
    if (attached.empty()) {
        return;
    }
    bool holdsBack = false;
    bool allowsAll = true;
    for (const std::string& device : attached) {
        const auto policy = HostFiles::attribute(
            deviceFolder("usb" + device.substr(0, device.find('-'))) / "authorized_default");
        if (policy == "0" || policy == "2") {
            holdsBack = true;
        }
        if (policy != "1" && policy != "-1") {
            allowsAll = false;
        }
        if (HostFiles::attribute(deviceFolder(device) / "authorized") == "0") {
            port.pending = true;
        }
    }
    if (holdsBack) {
        port.authorization = port.pending ? "Not Authorized" : "Authorized";
    } else if (allowsAll) {
        port.authorization = "Not Required";
    }
}

bool present(const fs::path& entry) {
    std::error_code ec;
    return fs::symlink_status(entry, ec).type() != fs::file_type::not_found && !ec;
}

// The hub ports a Type-C connector is wired to: the links named like hub ports in its folder.
std::vector<HubPort> linkedHubPorts(const fs::path& connector) {
    std::vector<HubPort> ports;
    for (const HostFiles::Entry& entry : HostFiles::entries(connector)) {
        if (entry.kind != HostFiles::Entry::link) {
            continue;
        }
        if (auto port = HubPort::parse(entry.name)) {
            ports.push_back(std::move(*port));
        }
    }
    return ports;
}

void addTypeCPorts(const Bus& bus, std::map<std::string, PortInfo>& found) {
    const fs::path typec = HostFiles::path("/sys/class/typec");
    for (const HostFiles::Entry& entry : HostFiles::entries(typec)) {
        const std::string& name = entry.name;
        if (!name.starts_with("port")) {
            continue;
        }
        const auto index = number(std::string_view(name).substr(4));
        if (!index) {
            continue; // port0-partner, port0-cable, …
        }
        PortInfo port;
        port.id = "Port-USB-C@" + std::to_string(*index + 1);
        port.name = prettyPortName(port.id);
        describeAttached(port, bus.below(linkedHubPorts(typec / name)));
        // A charger or a display adapter is a partner without any USB device behind it.
        if (present(typec / name / (name + "-partner"))) {
            port.connected = true;
            port.connections = std::max<std::int64_t>(port.connections, 1);
        }
        found[port.id] = std::move(port);
    }
}

struct RootPort {
    HubPort where;
    unsigned long bus = 0;
    std::optional<std::string> peer; // the other half of a USB 3 port
    bool typeC = false;              // either half is wired to a Type-C connector
};

std::vector<RootPort> hotPlugRootPorts() {
    std::vector<RootPort> ports;
    const fs::path devices = HostFiles::path("/sys/bus/usb/devices");
    for (const HostFiles::Entry& hubEntry : HostFiles::entries(devices)) {
        const std::string& hub = hubEntry.name;
        const auto busNumber =
            hub.starts_with("usb") ? number(std::string_view(hub).substr(3)) : std::nullopt;
        if (!busNumber) {
            continue;
        }
        const fs::path interface = devices / hub / (std::to_string(*busNumber) + "-0:1.0");
        for (const HostFiles::Entry& portEntry : HostFiles::entries(interface)) {
            const fs::path folder = interface / portEntry.name;
            const auto where = HubPort::parse(portEntry.name);
            if (!where || where->hub != hub ||
                HostFiles::attribute(folder / "connect_type") != "hotplug") {
                continue;
            }
            RootPort port{*where, *busNumber, std::nullopt,
                          present(folder / "connector") || present(folder / "peer" / "connector")};
            std::error_code linkError;
            const fs::path peer = fs::read_symlink(folder / "peer", linkError);
            if (!linkError && !peer.filename().empty()) {
                port.peer = peer.filename().string();
            }
            ports.push_back(std::move(port));
        }
    }
    std::sort(ports.begin(), ports.end(), [](const RootPort& a, const RootPort& b) {
        return a.bus != b.bus ? a.bus < b.bus : a.where.port < b.where.port;
    });
    return ports;
}

void addRootHubPorts(const Bus& bus, std::map<std::string, PortInfo>& found) {
    const std::vector<RootPort> ports = hotPlugRootPorts();
    std::set<std::string> handled;
    for (const RootPort& port : ports) {
        const std::string name = port.where.hub + "-port" + std::to_string(port.where.port);
        if (!handled.insert(name).second) {
            continue; // the peer of a port already listed
        }
        std::vector<HubPort> halves{port.where};
        if (port.peer) {
            handled.insert(*port.peer);
            if (auto peer = HubPort::parse(*port.peer)) {
                halves.push_back(std::move(*peer));
            }
        }
        if (port.typeC) {
            continue;
        }
        PortInfo info;
        info.id =
            "Port-USB port " + std::to_string(port.bus) + "-" + std::to_string(port.where.port);
        info.name = prettyPortName(info.id);
        describeAttached(info, bus.below(halves));
        found[info.id] = std::move(info);
    }
}

} // namespace

std::vector<PortInfo> ports() {
    const Bus bus = Bus::read();
    std::map<std::string, PortInfo> found; // by description: a later port replaces an earlier one
    addTypeCPorts(bus, found);
    addRootHubPorts(bus, found);
    std::vector<PortInfo> result;
    result.reserve(found.size());
    for (auto& entry : found) {
        result.push_back(std::move(entry.second));
    }
    return result;
}

} // namespace vantrel::Scanner
