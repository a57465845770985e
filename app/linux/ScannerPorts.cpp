// The machine's physical USB ports and what is plugged into them.
//
// Two kinds of port are listed:
// - Type-C connectors, /sys/class/typec/portN, described "Port-USB-C@{N+1}" so that they read
//   "USB-C port 1", "USB-C port 2", … (the kernel counts from 0, people from 1).
// - Hot-plug ports of the root hubs, /sys/bus/usb/devices/usbN/N-0:1.0/usbN-portM with
//   connect_type "hotplug" (or "unknown", where the firmware does not say), described "Port-USB
//   port N-M" so that they read "USB port N-M": the same N-M the kernel names the device plugged
//   into it by, distinct for every port. A USB 3 port shows on two root hubs (its USB 2 and USB 3
//   halves, linked to each other by `peer`); the pair is one port, named after the half with the
//   lower bus number. A root-hub port wired to a Type-C connector (it has a `connector` link) is
//   listed as that connector only.
// - The root-hub ports devices hang from where the firmware gives no such port: see
//   addPortsOfDevices.
//
// Linux has no accessory-approval prompt. What stands for it is USB authorization: when a root
// hub's authorized_default is 0 (hold every new device back) or 2 (allow only internal ones),
// a device plugged in stays with authorized = 0 until it is allowed. A port is pending while a
// device attached through it is held back like that.
//
// A scan lists the USB bus folder once (for both the devices and the root hubs; not at all when
// the USB scan of the same cycle listed it), the Type-C class folder once (the connectors and
// their partners, "portN-partner", which are class devices of their own) and each root hub's
// interface folder once; the files of a port are looked up from its hub's folder, and each root
// hub's authorization policy is read once. A connector's hub ports are the root-hub ports whose
// `connector` link names it, so no connector's folder is listed. A device the USB scan of the
// same cycle kept is not read again: its authorization flag is the one that scan read.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"
#include "app/linux/UsbCache.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vantrel::Scanner {

namespace {

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

// A folder opened as a place only (O_PATH), so that the files below it are looked up from there
// rather than along the whole path again.
class Place {
  public:
    explicit Place(const std::string& path)
        : fd_(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
    ~Place() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    std::optional<std::string> attribute(const std::string& file) const {
        return fd_ < 0 ? std::nullopt : HostFiles::quickAttribute(fd_, file.c_str());
    }

    // Whether `entry` is there, itself not followed when it is a link.
    bool has(const std::string& entry) const {
        struct stat info {};
        return fd_ >= 0 && ::fstatat(fd_, entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    }

    std::optional<std::string> linkText(const std::string& entry) const {
        return fd_ < 0 ? std::nullopt : HostFiles::linkText(fd_, entry.c_str());
    }

  private:
    int fd_ = -1;
};

// What one scan needs of the USB bus, from one listing of /sys/bus/usb/devices: the devices
// present, by name (1-2, 1-2.3; root hubs and interfaces are not devices here), and the root
// hubs (usbN) with their bus numbers, in the order the folder gives them.
struct Bus {
    std::string folder = HostFiles::path("/sys/bus/usb/devices");
    std::vector<std::string> devices;
    std::vector<std::pair<std::string, unsigned long>> rootHubs;
    // The authorized_default of each root hub read so far, by bus number.
    std::map<std::string, std::optional<std::string>, std::less<>> policies;
    // The bus folder, opened when a device's attribute is first read.
    std::optional<Place> opened;
    // The devices of the USB scan of this same cycle, when given.
    const UsbCache* known = nullptr;

    const Place& place() {
        if (!opened) {
            opened.emplace(folder);
        }
        return *opened;
    }

    // From the listing the USB scan of this cycle made over `usb`, when it made one.
    explicit Bus(const UsbCache* usb) : known(usb) {
        if (usb != nullptr && !usb->listed().empty()) {
            for (const std::string& name : usb->listed()) {
                add(std::string(name));
            }
            return;
        }
        for (HostFiles::Entry& entry : HostFiles::entries(folder)) {
            add(std::move(entry.name));
        }
    }

    void add(std::string name) {
        if (name.empty() || name.find(':') != std::string::npos) {
            return;
        }
        if (!name.starts_with("usb")) {
            devices.push_back(std::move(name));
        } else if (const auto bus = number(std::string_view(name).substr(3))) {
            rootHubs.emplace_back(std::move(name), *bus);
        }
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

    // The authorization flag of `device`, as the USB scan just read it when it kept the device.
    std::optional<std::string> authorized(const std::string& device) {
        if (known != nullptr) {
            if (const UsbFacts* facts = known->find(device)) {
                return facts->authorized;
            }
        }
        return place().attribute(device + "/authorized");
    }

    // The authorization policy of the root hub of `device`'s bus.
    const std::optional<std::string>& policyOf(const std::string& device) {
        const std::string bus = device.substr(0, device.find('-'));
        const auto known = policies.find(bus);
        if (known != policies.end()) {
            return known->second;
        }
        // One read per bus, by its whole path: the bus folder need not be opened for it.
        const std::string file = folder + "/usb" + bus + "/authorized_default";
        return policies.emplace(bus, HostFiles::quickAttribute(file.c_str())).first->second;
    }
};

// Fills in connected, connections, authorization and pending from the devices attached.
// With `policyEngine`, a daemon holds new devices back by policy whatever the root hub's own
// setting, so every device let in was allowed.
void describeAttached(PortInfo& port, Bus& bus, const std::vector<std::string>& attached,
                      bool policyEngine) {
    port.connections = static_cast<std::int64_t>(attached.size());
    port.connected = !attached.empty();
    if (attached.empty()) {
        return;
    }
    bool holdsBack = policyEngine;
    bool allowsAll = true;
    for (const std::string& device : attached) {
        const auto& policy = bus.policyOf(device);
        if (policy == "0" || policy == "2") {
            holdsBack = true;
        }
        if (policy != "1" && policy != "-1") {
            allowsAll = false;
        }
        if (bus.authorized(device) == "0") {
            port.pending = true;
        }
    }
    if (holdsBack) {
        port.authorization = port.pending ? "Not Authorized" : "Authorized";
    } else if (allowsAll) {
        port.authorization = "Not Required";
    }
}

struct RootPort {
    HubPort where;
    unsigned long bus = 0;
    std::optional<std::string> peer; // the other half of a USB 3 port
    bool typeC = false;              // either half is wired to a Type-C connector
};

// The root-hub ports of every root hub: those a person can plug into ("hotplug", or "unknown"
// where the firmware does not say), sorted by bus and port, and the names of the others
// (usb1-port5), which the firmware calls "hardwired" or "not used".
struct RootPorts {
    std::vector<RootPort> open;
    std::set<std::string> fixed;
    // The ports wired to each Type-C connector, by the connector's name ("port0"), from the
    // ports' `connector` links, whatever the firmware calls the ports.
    std::map<std::string, std::vector<HubPort>, std::less<>> wired;
};

RootPorts rootPorts(const Bus& bus) {
    RootPorts ports;
    for (const auto& [hub, busNumber] : bus.rootHubs) {
        const std::string interface =
            bus.folder + '/' + hub + '/' + std::to_string(busNumber) + "-0:1.0";
        const auto entries = HostFiles::entries(interface);
        if (entries.empty()) {
            continue;
        }
        const Place place(interface);
        for (const HostFiles::Entry& portEntry : entries) {
            const std::string& name = portEntry.name;
            const auto where = HubPort::parse(name);
            if (!where || where->hub != hub) {
                continue;
            }
            const auto connector = place.linkText(name + "/connector");
            if (connector) {
                ports.wired[std::string(HostFiles::lastName(*connector))].push_back(*where);
            }
            const auto type = place.attribute(name + "/connect_type");
            if (type != "hotplug" && type != "unknown") {
                ports.fixed.insert(name);
                continue;
            }
            RootPort port{*where, busNumber, std::nullopt,
                          connector || place.has(name + "/peer/connector")};
            if (const auto peer = place.linkText(name + "/peer")) {
                const std::string_view last = HostFiles::lastName(*peer);
                if (!last.empty()) {
                    port.peer = std::string(last);
                }
            }
            ports.open.push_back(std::move(port));
        }
    }
    std::sort(ports.open.begin(), ports.open.end(), [](const RootPort& a, const RootPort& b) {
        return a.bus != b.bus ? a.bus < b.bus : a.where.port < b.where.port;
    });
    return ports;
}

void addTypeCPorts(Bus& bus, const RootPorts& roots, bool policyEngine,
                   std::map<std::string, PortInfo>& found, std::set<std::string>& covered) {
    const auto entries = HostFiles::entries(HostFiles::path("/sys/class/typec"));
    std::set<std::string_view> names;
    for (const HostFiles::Entry& entry : entries) {
        names.insert(entry.name);
    }
    const std::vector<HubPort> none;
    for (const HostFiles::Entry& entry : entries) {
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
        // The hub ports wired to the connector name it; its partner, when something is plugged
        // in, is listed beside it.
        const auto at = roots.wired.find(name);
        const std::vector<HubPort>& wired = at != roots.wired.end() ? at->second : none;
        const bool partner = names.contains(name + "-partner");
        for (const HubPort& hubPort : wired) {
            if (const auto child = hubPort.childName()) {
                covered.insert(*child);
            }
        }
        describeAttached(port, bus, bus.below(wired), policyEngine);
        // A charger or a display adapter is a partner without any USB device behind it.
        if (partner) {
            port.connected = true;
            port.connections = std::max<std::int64_t>(port.connections, 1);
        }
        found[port.id] = std::move(port);
    }
}

// Adds the hot-plug root-hub ports; `covered` gets the names of the devices plugged straight
// into a port listed (1-2), so that what is behind them is not listed again.
void addRootHubPorts(Bus& bus, const RootPorts& ports, bool policyEngine,
                     std::map<std::string, PortInfo>& found, std::set<std::string>& covered) {
    std::set<std::string> handled;
    for (const RootPort& port : ports.open) {
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
        for (const HubPort& half : halves) {
            if (const auto child = half.childName()) {
                covered.insert(*child);
            }
        }
        if (port.typeC) {
            continue;
        }
        PortInfo info;
        info.id =
            "Port-USB port " + std::to_string(port.bus) + "-" + std::to_string(port.where.port);
        info.name = prettyPortName(info.id);
        describeAttached(info, bus, bus.below(halves), policyEngine);
        found[info.id] = std::move(info);
    }
}

// A device the kernel holds back opens the prompt whatever port folders the firmware gives: a
// root-hub port with no folder at all is listed while anything is attached to it, one the
// firmware calls hardwired or not used only while a device behind it is held back. Both are
// named after the root-hub port the devices hang from (1-1.5.4.2 is on "USB port 1-1").
void addPortsOfDevices(Bus& bus, const RootPorts& ports, const std::set<std::string>& covered,
                       bool policyEngine, std::map<std::string, PortInfo>& found) {
    std::map<std::string, std::vector<std::string>> byRoot;
    for (const std::string& device : bus.devices) {
        std::string root = device.substr(0, device.find('.'));
        if (!covered.contains(root)) {
            byRoot[std::move(root)].push_back(device);
        }
    }
    for (const auto& [root, attached] : byRoot) {
        const std::size_t dash = root.find('-');
        const auto busNumber = number(std::string_view(root).substr(0, dash));
        const auto portNumber = dash == std::string::npos
                                    ? std::nullopt
                                    : number(std::string_view(root).substr(dash + 1));
        if (!busNumber || !portNumber) {
            continue;
        }
        PortInfo info;
        info.id = "Port-USB port " + root;
        info.name = prettyPortName(info.id);
        describeAttached(info, bus, attached, policyEngine);
        const bool fixed = ports.fixed.contains("usb" + std::to_string(*busNumber) + "-port" +
                                                std::to_string(*portNumber));
        if (!fixed || info.pending) {
            found.try_emplace(info.id, std::move(info));
        }
    }
}

} // namespace

std::vector<PortInfo> ports(bool policyEngine, const UsbCache* usb) {
    Bus bus(usb);
    std::map<std::string, PortInfo> found; // by description: a later port replaces an earlier one
    std::set<std::string> covered;
    const RootPorts roots = rootPorts(bus);
    addTypeCPorts(bus, roots, policyEngine, found, covered);
    addRootHubPorts(bus, roots, policyEngine, found, covered);
    addPortsOfDevices(bus, roots, covered, policyEngine, found);
    std::vector<PortInfo> result;
    result.reserve(found.size());
    for (auto& entry : found) {
        result.push_back(std::move(entry.second));
    }
    return result;
}

} // namespace vantrel::Scanner
