// The snapshot probes of the machine: USB devices, input devices, ports and network. Each call
// reads sysfs and procfs afresh (under $VANTREL_ROOT when that is set), keeps nothing between
// calls but the cache it is given, if any, and never opens a device.
#pragma once

#include "app/engine/Devices.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantrel::Scanner {

class UsbCache;

// ---- USB devices ------------------------------------------------------------------------------

// Every USB device attached to the machine, hubs and held-back devices included, sorted by
// locationID (a stable sort, so equal locations keep the order of the walk over
// /sys/bus/usb/devices, which goes by name). Root hubs (usbN) are the host controllers' stand-ins
// and are not listed. Empty when /sys/bus/usb/devices cannot be read.
// Devices held back whose kernel names (1-1.4) are in `heldByRule` are marked policyHeld.
std::vector<USBDevice> usbDevices(const std::set<std::string>& heldByRule = {});
// The same list, reading again only what `cache` cannot vouch for: a device seen by the last
// scan over `cache`, still the same connection in the same state, costs one open.
std::vector<USBDevice> usbDevices(UsbCache& cache, const std::set<std::string>& heldByRule = {});

// The kernel name (1-1.4) of the device whose record has `id`, while it is still attached.
std::optional<std::string> kernelName(std::uint64_t id);

// ---- Input devices and ports ------------------------------------------------------------------

// The distinct keyboards and pointing devices of /sys/class/input, whatever their bus: devices
// that are not built in first, then by name. Devices with the same transport, ids and name are
// one record, a keyboard if any of them is one.
std::vector<InputDevice> inputDevices();

// One input device that is a keyboard, for the keyboard watcher.
struct KeyboardNode {
    std::uint64_t registryID = 0; // the inode of its /sys/class/input/inputN folder
    std::string name;             // empty when the device gives none
    bool builtIn = false;
    std::vector<std::string> eventPaths; // "/dev/input/eventN", sorted
};

// Every input device that is a keyboard, in the kernel's registration order, unmerged.
std::vector<KeyboardNode> keyboardNodes();

// The physical USB ports, Type-C connectors and hot-plug root-hub ports, sorted by id. With
// `policyEngine`, a daemon holds new devices back by policy, so every device let in was allowed.
// With `usb`, the bus folder's listing and the authorization flag of a device that cache holds
// are taken from it: the USB scan over it has just read them.
std::vector<PortInfo> ports(bool policyEngine = false, const UsbCache* usb = nullptr);

// ---- Network ----------------------------------------------------------------------------------

// The kernel's counters of every interface, by name.
std::map<std::string, IfCounters> interfaceCounters();

// The interfaces worth showing, with their counters from `counters`: the primary interface
// first, then active ones, then by name. Rates are 0.
std::vector<NetInterface> networkInterfaces(const std::map<std::string, IfCounters>& counters);

// Primary interface, router, DNS servers and proxies.
NetConfig netConfig();

// Whether the network state can be read at all.
bool networkStoreAvailable();

} // namespace vantrel::Scanner
