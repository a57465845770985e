// USB devices, from the kernel's USB bus in sysfs (/sys/bus/usb/devices).
//
// The bus folder holds one link per USB device ("1-1", "1-1.4", "usb1" for a root hub) and one
// per interface ("1-1:1.0"), each pointing at the real folder under /sys/devices. The kernel
// names a device "<busnum>-<devpath>", and nests a device behind a hub inside the hub's folder,
// next to the hub's interfaces. What the operating system made of a device (serial lines,
// disks, network interfaces) shows up as class folders below its interfaces: tty/ttyUSB0,
// block/sdb, net/enx0011223344.
//
// The fewest files are read: a device's uevent gives its ids and class in one open, an
// interface's uevent its class; the strings and the authorization flag are attributes of their
// own. Every file read is bounded, symbolic links are never followed and the walk below a device
// stops at a fixed depth, so odd trees cannot hold a scan. A device that goes away during the
// scan is either left out (its link no longer resolves) or listed with what could still be read.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"
#include "core/LocaleText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <vector>

namespace vantrel::Scanner {
namespace {

namespace fs = std::filesystem;

// How deep the walk below a device goes. The deepest thing it looks for, a disk, sits at
// <dev>:1.0/host6/target6:0:0/6:0:0:0/block/sdb, six levels down.
constexpr int walkDepth = 8;

// The port path holds one hexadecimal digit per port, most significant first, six at most.
constexpr int locationDigits = 6;

// A whole unsigned number in `text` in `base`; none for anything else, signs included.
std::optional<std::int64_t> number(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

// A number attribute such as idVendor ("2109") or bDeviceClass ("09").
std::optional<std::int64_t> numberAttribute(const fs::path& file, int base) {
    const auto text = HostFiles::attribute(file);
    return text ? number(*text, base) : std::nullopt;
}

// The first `count` fields of "a/b/c" in `base`; none when one of them is missing or no number.
template <std::size_t count>
std::optional<std::array<std::int64_t, count>> fields(std::optional<std::string_view> text,
                                                      int base) {
    if (!text) {
        return std::nullopt;
    }
    std::array<std::int64_t, count> values{};
    std::string_view rest = *text;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t slash = rest.find('/');
        const auto value = number(rest.substr(0, slash), base);
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return values;
}

// The class pair of an interface or a device: from its uevent line (decimal "class/sub/proto")
// when there is one, else from the two attributes (hexadecimal), the subclass 0 when absent.
std::optional<std::pair<int, int>> classPair(const fs::path& folder,
                                             std::optional<std::string_view> ueventLine,
                                             const char* classFile, const char* subclassFile) {
    if (const auto pair = fields<2>(ueventLine, 10)) {
        return std::pair{static_cast<int>((*pair)[0]), static_cast<int>((*pair)[1])};
    }
    const auto cls = numberAttribute(folder / classFile, 16);
    if (!cls) {
        return std::nullopt;
    }
    const auto subclass = numberAttribute(folder / subclassFile, 16);
    return std::pair{static_cast<int>(*cls), static_cast<int>(subclass.value_or(0))};
}

// The locationID of bus `bus` and port path `devpath` ("1.4.2" → bus << 24 | 0x142000).
std::optional<std::int64_t> location(std::string_view bus, std::string_view devpath) {
    const auto busNumber = number(bus, 10);
    if (!busNumber || devpath.empty()) {
        return std::nullopt;
    }
    std::int64_t ports = 0;
    int digits = 0;
    while (true) {
        const std::size_t dot = devpath.find('.');
        const auto port = number(devpath.substr(0, dot), 10);
        if (!port) {
            return std::nullopt;
        }
        if (digits < locationDigits) {
            ports |= std::min<std::int64_t>(*port, 15) << (4 * (locationDigits - 1 - digits));
            ++digits;
        }
        if (dot == std::string_view::npos) {
            break;
        }
        devpath.remove_prefix(dot + 1);
    }
    return (*busNumber << 24) + ports;
}

// A device's name is "<busnum>-<devpath>"; the attributes of the same names say it again and
// serve when the name does not parse.
std::int64_t locationOf(std::string_view name, const fs::path& folder) {
    const std::size_t dash = name.find('-');
    if (dash != std::string_view::npos) {
        if (const auto fromName = location(name.substr(0, dash), name.substr(dash + 1))) {
            return *fromName;
        }
    }
    const auto bus = HostFiles::attribute(folder / "busnum");
    const auto devpath = HostFiles::attribute(folder / "devpath");
    if (bus && devpath) {
        return location(*bus, *devpath).value_or(0);
    }
    return 0;
}

// A folder below a device that is itself a USB device (one behind a hub): "<bus>-<ports>", with
// no ':' (interfaces have one). A hub's port folders ("1-1-port2") match too and hold nothing
// of interest either.
bool isDeviceName(std::string_view name) {
    const std::size_t dash = name.find('-');
    return dash != std::string_view::npos && dash > 0 && name.find(':') == std::string_view::npos &&
           std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(dash),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Folders that never hold a serial line, a disk or a network interface: attribute folders found
// below every device and interface, and the class folders of what HID, sound, video and SCSI
// drivers make. Passing them over saves most of the folder listings of a scan.
bool isBarrenFolder(std::string_view name) {
    static constexpr std::string_view barren[] = {
        "power",        "input",   "hidraw",    "sound",       "video4linux",
        "media0",       "usbmisc", "scsi_host", "scsi_device", "scsi_disk",
        "scsi_generic", "bsg",     "bluetooth", "ieee80211",   "wakeup",
    };
    return name.starts_with("ep_") ||
           std::find(std::begin(barren), std::end(barren), name) != std::end(barren);
}

// An interface folder: "<device>:<config>.<number>".
bool isInterfaceName(std::string_view name) {
    return name.find(':') != std::string_view::npos;
}

struct Findings {
    std::vector<std::pair<int, int>> pairs;
    std::vector<std::string> serialPaths;
    std::vector<std::string> disks;
    std::vector<std::string> netNames;
};

// The names of the class devices in a class folder (tty, block, net). Their own sub-folders,
// the partitions of a disk among them, are not looked at.
std::vector<std::string> classDevices(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& entry : HostFiles::entries(folder)) {
        if (entry.kind == HostFiles::Entry::folder) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

// Walks the folder of a device (depth 0) or below it, collecting what belongs to the device.
void walk(const fs::path& folder, int depth, bool topLevel, Findings& found) {
    if (depth >= walkDepth) {
        return;
    }
    for (const auto& entry : HostFiles::entries(folder)) {
        if (entry.kind != HostFiles::Entry::folder) {
            continue; // attributes, and links, which are never followed
        }
        const std::string_view name = entry.name;
        const fs::path child = folder / name;
        if (isBarrenFolder(name) || isDeviceName(name)) {
            continue;
        }
        if (name == "tty") {
            for (const auto& tty : classDevices(child)) {
                found.serialPaths.push_back("/dev/" + tty);
            }
            continue;
        }
        if (name == "block") {
            for (auto& disk : classDevices(child)) {
                found.disks.push_back(std::move(disk));
            }
            continue;
        }
        if (name == "net") {
            for (auto& net : classDevices(child)) {
                found.netNames.push_back(std::move(net));
            }
            continue;
        }
        if (topLevel && isInterfaceName(name)) {
            const auto uevent = HostFiles::read(child / "uevent");
            const auto line = uevent ? HostFiles::ueventValue(*uevent, "INTERFACE") : std::nullopt;
            if (const auto pair = classPair(child, line, "bInterfaceClass", "bInterfaceSubClass")) {
                found.pairs.push_back(*pair);
            }
        }
        walk(child, depth + 1, false, found);
    }
}

// The text of a string attribute with horizontal white space trimmed, or `fallback` when the
// device has no such string.
std::string nameAttribute(const fs::path& file, std::string_view fallback) {
    const auto text = HostFiles::attribute(file);
    return LocaleText::trimmed(text ? std::string_view(*text) : fallback);
}

// One record; none when the device is gone before its folder could be looked at.
std::optional<USBDevice> device(const fs::path& busFolder, std::string_view name) {
    // The bus folder's entries are relative links into /sys/devices; one readlink resolves them,
    // where a full canonical() would look at every folder on the way. A device unplugged since
    // the listing leaves a dangling link, which the stat below refuses.
    std::error_code error;
    const fs::path entry = busFolder / name;
    const fs::path target = fs::read_symlink(entry, error);
    const fs::path folder =
        error ? entry : (target.is_absolute() ? target : busFolder / target).lexically_normal();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }

    USBDevice device;
    device.id = static_cast<std::uint64_t>(info.st_ino);

    const auto uevent = HostFiles::read(folder / "uevent");
    const auto line = [&](std::string_view key) {
        return uevent ? HostFiles::ueventValue(*uevent, key) : std::nullopt;
    };
    if (const auto ids = fields<2>(line("PRODUCT"), 16)) {
        device.vendorID = (*ids)[0];
        device.productID = (*ids)[1];
    } else {
        device.vendorID = numberAttribute(folder / "idVendor", 16).value_or(0);
        device.productID = numberAttribute(folder / "idProduct", 16).value_or(0);
    }

    Findings found;
    if (const auto pair = classPair(folder, line("TYPE"), "bDeviceClass", "bDeviceSubClass")) {
        found.pairs.push_back(*pair);
    }
    walk(folder, 0, true, found);

    for (const Capability capability : Capability::allCases()) {
        if (std::any_of(found.pairs.begin(), found.pairs.end(), [&](const auto& pair) {
                return Capability::from(pair.first, pair.second) == capability;
            })) {
            device.caps.push_back(capability);
        }
    }

    device.name = nameAttribute(folder / "product", "Unknown USB device");
    device.vendor = nameAttribute(folder / "manufacturer", "Unknown vendor");
    device.serial = HostFiles::attribute(folder / "serial").value_or("");
    device.locationID = locationOf(name, folder);
    device.blocked = HostFiles::attribute(folder / "authorized") == "0";

    std::sort(found.serialPaths.begin(), found.serialPaths.end());
    device.serialPaths = std::move(found.serialPaths);
    for (auto* list : {&found.disks, &found.netNames}) {
        std::sort(list->begin(), list->end());
        list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    device.disks = std::move(found.disks);
    device.netNames = std::move(found.netNames);
    return device;
}

} // namespace

std::vector<USBDevice> usbDevices() {
    const fs::path busFolder = HostFiles::path("/sys/bus/usb/devices");
    std::vector<std::string> names;
    for (auto& entry : HostFiles::entries(busFolder)) {
        const std::string_view name = entry.name;
        // Interfaces have a ':' in their names; root hubs are "usbN".
        if (name.find(':') == std::string_view::npos && !name.starts_with("usb")) {
            names.push_back(std::move(entry.name));
        }
    }
    // The file system gives entries in no useful order; the walk goes by name.
    std::sort(names.begin(), names.end());

    std::vector<USBDevice> devices;
    devices.reserve(names.size());
    for (const auto& name : names) {
        if (auto found = device(busFolder, name)) {
            devices.push_back(std::move(*found));
        }
    }
    std::stable_sort(devices.begin(), devices.end(), [](const USBDevice& a, const USBDevice& b) {
        return a.locationID < b.locationID;
    });
    return devices;
}

} // namespace vantrel::Scanner
