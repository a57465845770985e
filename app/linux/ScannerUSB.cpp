// USB devices, from the kernel's USB bus in sysfs (/sys/bus/usb/devices).
//
// The bus folder holds one link per USB device ("1-1", "1-1.4", "usb1" for a root hub) and one
// per interface ("1-1:1.0"), each pointing at the real folder under /sys/devices. The kernel
// names a device "<busnum>-<devpath>" and an interface "<device>:<config>.<number>", puts the
// interfaces in their device's folder, and nests a device behind a hub inside the hub's folder,
// next to the hub's interfaces. What the operating system made of a device (serial lines,
// disks, network interfaces) shows up as class devices below its interfaces: tty/ttyUSB0,
// block/sdb, net/enx0011223344, each with a link in /sys/class/tty, block or net.
//
// A scan costs little more than the files it reads: one listing of the bus folder, one open of
// each device's folder through its link, as a place only (the listing gives the link's inode,
// which tells one connection from the next, so the folder is not asked), and one listing of
// each of the three class folders with a readlink per entry; no device's folder is listed. A
// class device belongs to the nearest USB device above it, known by its kernel name. A device's
// uevent gives its ids and class in one open, an interface's uevent its class; the strings and
// the authorization flag are attributes of their own. Every file read is bounded, class links
// are read once and never followed, paths are joined lexically and the search for a class
// device's USB device stops at a fixed depth, so odd trees cannot hold a scan. A device that
// goes away during the scan is either left out (its link no longer resolves) or listed with
// what could still be read.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"
#include "app/linux/UsbCache.h"
#include "app/linux/UsbDescriptors.h"
#include "core/LocaleText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <fcntl.h>
#include <functional>
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

// How far below its USB device a class device can sit. The deepest one looked for, a disk, sits
// at <dev>:1.0/host6/target6:0:0/6:0:0:0/block/sdb, six levels down.
constexpr int classDepth = 9;

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

// A number attribute such as idVendor ("2109") or bDeviceClass ("09") of the folder open as
// `folder`.
std::optional<std::int64_t> numberAttribute(int folder, const std::string& file, int base) {
    const auto text = HostFiles::quickAttribute(folder, file.c_str());
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
// `prefix` leads from the folder open as `folder` to the attributes ("" or "1-1:1.0/").
std::optional<std::pair<int, int>> classPair(int folder, const std::string& prefix,
                                             std::optional<std::string_view> ueventLine,
                                             const char* classFile, const char* subclassFile) {
    if (const auto pair = fields<2>(ueventLine, 10)) {
        return std::pair{static_cast<int>((*pair)[0]), static_cast<int>((*pair)[1])};
    }
    const auto cls = numberAttribute(folder, prefix + classFile, 16);
    if (!cls) {
        return std::nullopt;
    }
    const auto subclass = numberAttribute(folder, prefix + subclassFile, 16);
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
std::int64_t locationOf(std::string_view name, int folder) {
    const std::size_t dash = name.find('-');
    if (dash != std::string_view::npos) {
        if (const auto fromName = location(name.substr(0, dash), name.substr(dash + 1))) {
            return *fromName;
        }
    }
    const auto bus = HostFiles::quickAttribute(folder, "busnum");
    const auto devpath = HostFiles::quickAttribute(folder, "devpath");
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
// drivers make. A class device below one of them does not count.
bool isBarrenFolder(std::string_view name) {
    // Sorted, for a binary search: every folder on the way up from a class device is looked up.
    static constexpr std::string_view barren[] = {
        "bluetooth", "bsg",   "hidraw",      "ieee80211",   "input",
        "media0",    "power", "scsi_device", "scsi_disk",   "scsi_generic",
        "scsi_host", "sound", "usbmisc",     "video4linux", "wakeup",
    };
    static_assert(std::is_sorted(std::begin(barren), std::end(barren)));
    return name.starts_with("ep_") ||
           std::binary_search(std::begin(barren), std::end(barren), name);
}

// The class folders looked for, in the order of the lists they fill.
constexpr std::string_view classNames[] = {"tty", "block", "net"};

bool isClassFolder(std::string_view name) {
    return std::find(std::begin(classNames), std::end(classNames), name) != std::end(classNames);
}

using HostFiles::lastName;

// `path` without its last component.
std::string_view parentOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

using HostFiles::resolved;

// One device of the bus folder while the scan runs.
struct Found : UsbFacts {
    std::string name; // "1-1.4"
};

// The text of a string attribute with horizontal white space trimmed, or `fallback` when the
// device has no such string.
std::string nameAttribute(int folder, const char* file, std::string_view fallback) {
    const auto text = HostFiles::quickAttribute(folder, file);
    return LocaleText::trimmed(text ? std::string_view(*text) : fallback);
}

// The PRODUCT ("vendor/product/release") and TYPE ("class/subclass/protocol") lines of a USB
// device's uevent, found in one pass; the first line of each key counts.
struct DeviceLines {
    std::optional<std::string_view> product, type;
};

DeviceLines deviceLines(std::string_view uevent) {
    DeviceLines lines;
    while (!uevent.empty() && !(lines.product && lines.type)) {
        const std::size_t end = uevent.find('\n');
        const std::string_view line = uevent.substr(0, end);
        if (!lines.product && line.starts_with("PRODUCT=")) {
            lines.product = line.substr(8);
        } else if (!lines.type && line.starts_with("TYPE=")) {
            lines.type = line.substr(5);
        }
        uevent.remove_prefix(end == std::string_view::npos ? uevent.size() : end + 1);
    }
    return lines;
}

// What the device in the folder open as `folder` says of itself and of its interfaces; `id`
// is the connection's. With `keepOpen`, its authorization flag stays open for the scans to come.
void describe(int folder, std::string_view name, const std::vector<std::string_view>& interfaces,
              std::uint64_t id, bool keepOpen, Found& found) {
    USBDevice& device = found.record;
    device.id = id;
    found.pairs.reserve(interfaces.size() + 1);

    // The uevent files hold numbers only, so their bytes are parsed as read.
    HostFiles::Buffer buffer;
    const auto uevent = HostFiles::quickBytes(folder, "uevent", buffer);
    const DeviceLines lines = uevent ? deviceLines(*uevent) : DeviceLines{};
    if (const auto ids = fields<2>(lines.product, 16)) {
        device.vendorID = (*ids)[0];
        device.productID = (*ids)[1];
    } else {
        device.vendorID = numberAttribute(folder, "idVendor", 16).value_or(0);
        device.productID = numberAttribute(folder, "idProduct", 16).value_or(0);
    }
    if (const auto pair = classPair(folder, "", lines.type, "bDeviceClass", "bDeviceSubClass")) {
        found.pairs.push_back(*pair);
    }
    // The kernel keeps a device's interfaces in the device's own folder.
    std::string file;
    for (const std::string_view interface : interfaces) {
        const std::string prefix = std::string(interface) + '/';
        file.assign(prefix).append("uevent");
        const auto text = HostFiles::quickBytes(folder, file.c_str(), buffer);
        const auto kind = text ? HostFiles::ueventValue(*text, "INTERFACE") : std::nullopt;
        if (const auto pair =
                classPair(folder, prefix, kind, "bInterfaceClass", "bInterfaceSubClass")) {
            found.pairs.push_back(*pair);
        }
    }

    device.name = nameAttribute(folder, "product", "Unknown USB device");
    device.vendor = nameAttribute(folder, "manufacturer", "Unknown vendor");
    device.serial = HostFiles::quickAttribute(folder, "serial").value_or("");
    device.locationID = locationOf(name, folder);
    if (keepOpen) {
        found.authorizedFile = HostFiles::KeptAttribute::keep(folder, "authorized");
    }
    found.authorized = found.authorizedFile ? found.authorizedFile->read()
                                            : HostFiles::quickAttribute(folder, "authorized");
    found.interfaces.assign(interfaces.begin(), interfaces.end());
    device.blocked = found.authorized == "0";
    // A device held back has no interface folders yet; the descriptors it sent say what its
    // interfaces will claim once it is let in.
    if (device.blocked && interfaces.empty()) {
        if (const auto raw = HostFiles::read(folder, "descriptors", UsbDescriptors::readLimit)) {
            for (const auto& pair : UsbDescriptors::interfaceClasses(*raw)) {
                found.pairs.push_back(pair);
            }
        }
    }
}

// Reads into `found` the device of the bus folder's link `name`, whose inode is `link` (0: not
// known), the bus folder being open as `bus`, with its interfaces `interfaces`; false when it is
// gone before its folder could be looked at. With `keepOpen`, its authorization flag stays open.
bool device(int bus, const std::string& name, std::uint64_t link,
            const std::vector<std::string_view>& interfaces, bool keepOpen, Found& found) {
    // The folder is opened through its link as a place only (O_PATH), which reads nothing and
    // spares looking up its path again for every file read below. A device unplugged since the
    // listing leaves a dangling link, which the open refuses.
    const int folder = ::openat(bus, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    found.name = name;
    // The kernel makes a new link for every connection, so its inode tells one connection from
    // the next; where the listing gave none, the folder's own inode does.
    struct stat info {};
    const bool present = link != 0 || ::fstat(folder, &info) == 0;
    if (present) {
        describe(folder, name, interfaces, link != 0 ? link : info.st_ino, keepOpen, found);
    }
    ::close(folder);
    return present;
}

// The device `name` as `cache` keeps it, when it is still the same connection in the same state:
// its link in the bus folder is the same (the kernel makes a new link, with a new inode, for a
// device plugged in again or enumerated again; where the listing gives no inode, its folder must
// have the same inode), its authorization flag reads the same and it has the same interfaces. The
// interfaces' names carry the configuration they belong to ("1-1:2.0" is interface 0 of
// configuration 2), so a change of configuration shows in the bus folder's listing without
// opening anything. A change of the flag has the whole device read again, its strings included.
// One read of its flag, kept open since it was first read; none when the device is new. Fills
// `found` when it is unchanged.
bool unchanged(const UsbCache& cache, const std::string& busFolder, const std::string& name,
               std::uint64_t link, const std::vector<std::string_view>& interfaces, Found& found) {
    const UsbFacts* facts = cache.find(name);
    if (facts == nullptr || facts->link != link ||
        !std::equal(interfaces.begin(), interfaces.end(), facts->interfaces.begin(),
                    facts->interfaces.end())) {
        return false;
    }
    struct stat info {};
    if (link == 0 && (::stat((busFolder + '/' + name).c_str(), &info) != 0 ||
                      static_cast<std::uint64_t>(info.st_ino) != facts->record.id)) {
        return false;
    }
    const auto authorized =
        facts->authorizedFile
            ? facts->authorizedFile->read()
            : HostFiles::quickAttribute((busFolder + '/' + name + "/authorized").c_str());
    if (authorized != facts->authorized) {
        return false;
    }
    static_cast<UsbFacts&>(found) = *facts;
    found.name = name;
    return true;
}

// The USB device a class device at `path` ("…/1-3/1-3:1.0/ttyUSB0/tty/ttyUSB0") belongs to:
// the nearest one above it, no more than `classDepth` levels up, reached through none of the
// folders a walk down from the device would pass over: barren folders, other class folders
// and the folders of devices not listed. The kernel names each USB device once, so the folder
// of one is known by its name. `byName` is sorted by name.
Found* owner(std::string_view path,
             const std::vector<std::pair<std::string_view, Found*>>& byName) {
    std::string_view folder = parentOf(parentOf(path));
    for (int depth = 2; depth <= classDepth && !folder.empty(); ++depth) {
        const std::string_view name = lastName(folder);
        // The kernel names every USB device "<bus>-<ports>", so only such a name is looked up;
        // the walk stops at the first one, listed or not.
        if (isDeviceName(name)) {
            Found* const* device = UsbCache::lookUp(byName, name);
            return device != nullptr ? *device : nullptr;
        }
        if (isBarrenFolder(name) || isClassFolder(name)) {
            return nullptr;
        }
        folder = parentOf(folder);
    }
    return nullptr;
}

// Whether a link's text says where it leads as well as the folder it resolves to, for a look at
// its last names only: a run of ".." and then plain names, as the kernel writes class links.
bool plainTarget(std::string_view target) {
    bool leading = true;
    while (true) {
        const std::size_t slash = target.find('/');
        const std::string_view part = target.substr(0, slash);
        if (part == "..") {
            if (!leading) {
                return false;
            }
        } else if (part.empty() || part == ".") {
            return false;
        } else {
            leading = false;
        }
        if (slash == std::string_view::npos) {
            return !leading;
        }
        target.remove_prefix(slash + 1);
    }
}

// Hands the class devices of /sys/class/<cls> to the devices they belong to. Only class devices
// right inside a folder named after their class count, so a disk's partitions (block/sdb/sdb1)
// do not; each class folder names a class device once, so no list gets a name twice. A link
// `cache` kept with the same inode is not read again; `kept` gets every link read or reused.
void gatherClass(std::string_view cls,
                 const std::vector<std::pair<std::string_view, Found*>>& byName,
                 const UsbCache* cache, UsbCache::ByName<ClassLink>* kept) {
    const std::string classFolder = HostFiles::path("/sys/class/" + std::string(cls));
    std::string key;
    // The folder stays open after its listing for the links to be read relative to it.
    const int place = ::open(classFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (place < 0) {
        return;
    }
    for (const auto& entry : HostFiles::entries(place)) {
        if (entry.kind != HostFiles::Entry::link) {
            continue;
        }
        key.assign(cls).append(1, '/').append(entry.name);
        const std::string* known =
            cache != nullptr && entry.inode != 0 ? cache->classLink(key, entry.inode) : nullptr;
        std::string read;
        if (known == nullptr) {
            auto target = HostFiles::linkText(place, entry.name.c_str());
            if (!target) {
                continue; // gone since the listing
            }
            read = plainTarget(*target) ? std::move(*target) : resolved(classFolder, *target);
        }
        std::string_view path = known != nullptr ? std::string_view(*known) : read;
        if (kept != nullptr && entry.inode != 0) {
            kept->emplace_back(key,
                               ClassLink{entry.inode, known != nullptr ? *known : std::move(read)});
            path = kept->back().second.path; // no other is added while it is in use
        }
        if (lastName(path) != entry.name || lastName(parentOf(path)) != cls) {
            continue;
        }
        Found* found = owner(path, byName);
        if (found == nullptr) {
            continue;
        }
        USBDevice& device = found->record;
        if (cls == "tty") {
            device.serialPaths.push_back("/dev/" + entry.name);
        } else if (cls == "block") {
            device.disks.push_back(entry.name);
        } else {
            device.netNames.push_back(entry.name);
        }
    }
    ::close(place);
}

} // namespace

namespace {

std::vector<USBDevice> scan(UsbCache* cache, const std::set<std::string>& heldByRule) {
    const std::string busFolder = HostFiles::path("/sys/bus/usb/devices");
    std::vector<std::pair<std::string, std::uint64_t>> names; // with the inodes of their links
    std::vector<std::string> interfaces;
    std::vector<std::string> listed; // devices and root hubs, for the port scan
    // The folder stays open after its listing for the devices' folders to be opened through it.
    const int bus = ::open(busFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (auto& entry : bus < 0 ? std::vector<HostFiles::Entry>() : HostFiles::entries(bus)) {
        const std::string_view name = entry.name;
        // Interfaces have a ':' in their names; root hubs are "usbN".
        if (name.find(':') != std::string_view::npos) {
            interfaces.push_back(std::move(entry.name));
            continue;
        }
        if (cache != nullptr) {
            listed.push_back(entry.name);
        }
        if (!name.starts_with("usb")) {
            names.emplace_back(std::move(entry.name), entry.inode);
        }
    }
    if (cache != nullptr) {
        cache->keepListed(std::move(listed));
    }
    // The file system gives entries in no useful order; the scan goes by name.
    std::sort(names.begin(), names.end());
    std::sort(interfaces.begin(), interfaces.end());

    std::vector<Found> found;
    found.reserve(names.size());
    std::vector<std::string_view> own;
    UsbCache::ByName<UsbFacts> kept; // in the order of `names`, which is by name
    kept.reserve(cache != nullptr ? names.size() : 0);
    std::size_t keptOpen = 0; // authorization flags kept open
    for (const auto& [name, link] : names) {
        // An interface "<device>:<config>.<number>" belongs to the device before the ':'.
        own.clear();
        const std::string prefix = name + ':';
        for (auto at = std::lower_bound(interfaces.begin(), interfaces.end(), prefix);
             at != interfaces.end() && at->starts_with(prefix); ++at) {
            own.push_back(*at);
        }
        // Read in place; `found` has room for every name, so no element moves.
        Found& one = found.emplace_back();
        if (!(cache != nullptr && unchanged(*cache, busFolder, name, link, own, one)) &&
            !device(bus, name, link, own, cache != nullptr && keptOpen < keptOpenLimit, one)) {
            found.pop_back();
            continue;
        }
        one.link = link;
        keptOpen += one.authorizedFile ? 1 : 0;
        if (cache != nullptr) {
            kept.emplace_back(name, one);
        }
    }
    if (bus >= 0) {
        ::close(bus);
    }
    if (cache != nullptr) {
        cache->keep(std::move(kept));
    }

    std::vector<std::pair<std::string_view, Found*>> byName;
    byName.reserve(found.size());
    for (auto& one : found) {
        byName.emplace_back(one.name, &one);
    }
    std::sort(byName.begin(), byName.end());
    UsbCache::ByName<ClassLink> links;
    for (const std::string_view cls : classNames) {
        gatherClass(cls, byName, cache, cache != nullptr ? &links : nullptr);
    }
    if (cache != nullptr) {
        cache->keepLinks(std::move(links));
    }

    // Devices go out by where they are plugged in, the same place keeping the order by name.
    std::vector<Found*> byLocation;
    byLocation.reserve(found.size());
    for (auto& one : found) {
        byLocation.push_back(&one);
    }
    std::stable_sort(byLocation.begin(), byLocation.end(), [](const Found* a, const Found* b) {
        return a->record.locationID < b->record.locationID;
    });
    std::vector<USBDevice> devices;
    devices.reserve(found.size());
    for (Found* one : byLocation) {
        USBDevice& device = one->record;
        device.policyHeld = device.blocked && heldByRule.contains(one->name);
        std::array<bool, Capability::count> claimed{};
        for (const auto& [cls, subclass] : one->pairs) {
            if (const auto capability = Capability::from(cls, subclass)) {
                claimed[capability->value()] = true;
            }
        }
        for (const Capability capability : Capability::allCases()) {
            if (claimed[capability.value()]) {
                device.caps.push_back(capability);
            }
        }
        for (auto* list : {&device.serialPaths, &device.disks, &device.netNames}) {
            std::sort(list->begin(), list->end());
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

} // namespace

std::vector<USBDevice> usbDevices(const std::set<std::string>& heldByRule) {
    return scan(nullptr, heldByRule);
}

std::vector<USBDevice> usbDevices(UsbCache& cache, const std::set<std::string>& heldByRule) {
    return scan(&cache, heldByRule);
}

std::optional<std::string> kernelName(std::uint64_t id) {
    const std::string busFolder = HostFiles::path("/sys/bus/usb/devices");
    for (const auto& entry : HostFiles::entries(busFolder)) {
        const std::string_view name = entry.name;
        if (name.find(':') != std::string_view::npos || name.starts_with("usb")) {
            continue;
        }
        // The id is the inode of the device's link, or of its folder where the listing gives no
        // inode (as the scan took it).
        struct stat info {};
        if (entry.inode != 0 ? entry.inode == id
                             : ::stat((busFolder + '/' + entry.name).c_str(), &info) == 0 &&
                                   static_cast<std::uint64_t>(info.st_ino) == id) {
            return entry.name;
        }
    }
    return std::nullopt;
}

} // namespace vantrel::Scanner
