// The snapshot report: every USB device indented by its depth behind hubs, the keyboards and
// pointing devices, and the ports, as the probes see them at this moment.
#include "app/linux/Scanner.h"
#include "app/shell/Reports.h"
#include "core/Displayable.h"
#include "core/TrustRequest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vantrel {

namespace Snapshot {
namespace {

// Two spaces for every port on the way to the device (the non-zero hexadecimal digits of the
// port path in the low 24 bits of its locationID), two at least.
std::string indentation(std::int64_t locationID) {
    std::size_t depth = 0;
    for (int digit = 0; digit < 6; ++digit) {
        if (((locationID >> (4 * digit)) & 0xF) != 0) {
            ++depth;
        }
    }
    return std::string(2 * std::max<std::size_t>(depth, 1), ' ');
}

std::string list(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += displayable(parts[i]);
    }
    return text;
}

std::string deviceLine(const USBDevice& device) {
    std::string line = indentation(device.locationID) + displayable(device.name) + " (" +
                       usbIDString(device.vendorID, device.productID) + ") from " +
                       displayable(device.vendor) + ": " + device.capsText();
    std::vector<std::string> notes;
    if (device.blocked) {
        notes.emplace_back("WAITING FOR APPROVAL");
    }
    if (!device.netNames.empty()) {
        notes.push_back("network " + list(device.netNames, ","));
    }
    if (!device.serialPaths.empty()) {
        notes.push_back("serial " + list(device.serialPaths, ","));
    }
    if (!device.disks.empty()) {
        notes.push_back("disks " + list(device.disks, ","));
    }
    if (!notes.empty()) {
        // The notes are displayable already: joined as they are.
        line += " [";
        for (std::size_t i = 0; i < notes.size(); ++i) {
            line += (i > 0 ? "; " : "") + notes[i];
        }
        line += "]";
    }
    return line + "\n";
}

} // namespace

std::string text(const std::vector<USBDevice>& usb, const std::vector<InputDevice>& inputs,
                 const std::vector<PortInfo>& ports) {
    std::string out = "USB devices:\n";
    for (const USBDevice& device : usb) {
        out += deviceLine(device);
    }
    out += "Keyboards and mice:\n";
    for (const InputDevice& input : inputs) {
        out += "  " + displayable(input.name) + " (" + displayable(input.kind) + ", " +
               displayable(input.transport) + ", " + (input.builtIn ? "built-in" : "external") +
               ")\n";
    }
    out += "Ports:\n";
    for (const PortInfo& port : ports) {
        out += "  " + displayable(port.name) + ": " + (port.connected ? "connected" : "empty") +
               ", " + (port.authorization ? displayable(*port.authorization) : "n/a") +
               (port.pending ? ", PROMPT SHOWING" : "") + "\n";
    }
    return out;
}

void print(std::ostream& out) {
    const auto usb = Scanner::usbDevices();
    const auto inputs = Scanner::inputDevices();
    const auto ports = Scanner::ports();
    out << text(usb, inputs, ports) << std::flush;
}

} // namespace Snapshot

} // namespace vantrel
