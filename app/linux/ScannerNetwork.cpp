// The network probes: interface counters, the interfaces worth showing, and the global
// configuration (primary interface, router, DNS servers, proxies).
//
// Sources:
// - counters and the list of interfaces: /proc/net/dev, one read per call (over a cache, the
//   list of interfaces comes from the counters' read);
// - Wi-Fi: /sys/class/net/<if>/wireless or phy80211; active: operstate "up";
// - on USB: /sys/class/net/<if>/device resolves into a USB device's folder;
// - IPv4 addresses: getifaddrs, in its order. Under $VANTREL_ROOT (a test's fixture tree) they
//   come instead from the fixture file `ifaddrs` at the root, one "<interface> <address>" a
//   line in the same order, since getifaddrs would report the test machine's own addresses;
// - primary interface and router: the default route with the lowest metric in /proc/net/route;
// - DNS: the nameserver lines of /etc/resolv.conf, or of /run/systemd/resolve/resolv.conf when
//   the former lists only the local resolver stub 127.0.0.53;
// - proxies: GNOME's proxy settings, KDE's kioslaverc and the http_proxy, https_proxy and
//   all_proxy variables, all of them (Proxies.h).
//
// Display names: "Wi-Fi" for a wireless interface; the USB product name for an adapter on USB
// (the interface name when the device gives none); "Ethernet" for any other wired Ethernet
// interface that belongs to a hardware device; the interface name for everything else
// (bridges, tunnels, virtual pairs).
//
// Each interface's folder is opened once, as a place only, through its /sys/class/net link, and
// its files are looked up from there; over a cache, only when the interface is new. Its `device`
// link is read, not followed: where it leads is worked out lexically, and the class link is read
// only for an interface that has a device.
#include "app/linux/HostFiles.h"
#include "app/linux/NetCache.h"
#include "app/linux/NetParse.h"
#include "app/linux/Scanner.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <ifaddrs.h>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vantrel::Scanner {

namespace {

namespace fs = std::filesystem;

// /proc/net/dev and /proc/net/route grow with the number of interfaces and routes.
constexpr std::size_t tableLimit = 256 * 1024;

constexpr unsigned long typeEther = 1, typeLoopback = 772; // ARPHRD_ETHER, ARPHRD_LOOPBACK

using NetParse::lines;
using NetParse::words;

// A name that is safe to put into a path below /sys/class/net.
bool usableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The interfaces of /proc/net/dev with their counters, in the file's order.
std::vector<std::pair<std::string, IfCounters>> procNetDev() {
    const auto text = HostFiles::read(HostFiles::path("/proc/net/dev"), tableLimit);
    return text ? NetParse::interfaceTable(*text)
                : std::vector<std::pair<std::string, IfCounters>>{};
}

// An interface's sysfs folder, opened as a place only (O_PATH) through its /sys/class/net link
// (relative to that folder, open as `place`), so that each of its files is looked up from there
// rather than along the whole path again.
class NetFolder {
  public:
    NetFolder(int place, const std::string& classFolder, const std::string& interface)
        : classFolder_(classFolder), link_(classFolder + '/' + interface),
          fd_(::openat(place, interface.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            errno = 0;
            device_ = HostFiles::linkText(fd_, "device");
            noDevice_ = !device_ && errno == ENOENT;
        }
    }
    NetFolder(const NetFolder&) = delete;
    NetFolder& operator=(const NetFolder&) = delete;
    ~NetFolder() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    std::optional<std::string> attribute(const char* file) const {
        return fd_ < 0 ? std::nullopt : HostFiles::quickAttribute(fd_, file);
    }

    // `file`, open to be read again from scan to scan.
    std::shared_ptr<const HostFiles::KeptAttribute> keep(const char* file) const {
        return fd_ < 0 ? nullptr : HostFiles::KeptAttribute::keep(fd_, file);
    }

    // The inode of the folder; 0 when it could not be opened.
    std::uint64_t inode() const {
        struct stat info {};
        return fd_ >= 0 && ::fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_ino) : 0;
    }

    // Whether `entry` is there, links followed.
    bool has(const char* entry) const {
        struct stat info {};
        return fd_ >= 0 && ::fstatat(fd_, entry, &info, 0) == 0;
    }

    // Whether the interface belongs to a device: its `device` link is there and leads somewhere.
    bool hasDevice() const { return !noDevice_ && has("device"); }
    // Whether something is called `device`, as far as reading it told.
    bool mayHaveDevice() const { return !noDevice_; }

    // The folder the `device` link leads to, taken lexically from where the class link leads;
    // none when there is no such link.
    std::optional<std::string> device() const {
        if (!device_) {
            return std::nullopt;
        }
        const auto target = HostFiles::linkText(AT_FDCWD, link_.c_str());
        const std::string real = target ? HostFiles::resolved(classFolder_, *target) : link_;
        return HostFiles::resolved(real, *device_);
    }

  private:
    const std::string& classFolder_;
    std::string link_;
    int fd_ = -1;
    std::optional<std::string> device_; // the text of the `device` link
    bool noDevice_ = false;             // nothing is called `device`
};

std::optional<unsigned long> linkType(const NetFolder& folder) {
    const auto text = folder.attribute("type");
    return text ? NetParse::number<unsigned long>(*text) : std::nullopt;
}

bool present(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0;
}

// The folder of the USB device the interface belongs to, if it hangs below one: the nearest
// folder above its device that has the attributes of a USB device. `sys` is the /sys folder.
std::optional<std::string> usbDeviceOf(const NetFolder& net, const std::string& sys) {
    auto folder = net.device();
    if (!folder || !net.has("device")) {
        return std::nullopt; // no device, or one gone since
    }
    const std::string inside = sys + "/";
    for (int depth = 0; depth < 64 && folder->starts_with(inside); ++depth) {
        if (present(*folder + "/idVendor") && present(*folder + "/devnum")) {
            return folder;
        }
        folder->resize(folder->rfind('/'));
    }
    return std::nullopt;
}

std::string trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.back())) {
        text.pop_back();
    }
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    text.erase(text.begin(), first);
    return text;
}

std::string displayName(const std::string& interface, const NetFolder& folder,
                        std::optional<unsigned long> type, bool isWiFi,
                        const std::optional<std::string>& usbDevice) {
    if (isWiFi) {
        return "Wi-Fi";
    }
    if (usbDevice) {
        const auto product = HostFiles::quickAttribute((*usbDevice + "/product").c_str());
        std::string name = product ? trimmed(*product) : std::string();
        return name.empty() ? interface : name;
    }
    if (type == typeEther && folder.hasDevice()) {
        return "Ethernet";
    }
    return interface;
}

// Every interface's IPv4 addresses, in the order the system gives them.
std::map<std::string, std::vector<std::string>> ipv4Addresses() {
    std::map<std::string, std::vector<std::string>> addresses;
    if (HostFiles::rooted()) {
        const std::string text =
            HostFiles::read(HostFiles::path("/ifaddrs"), tableLimit).value_or("");
        for (std::string_view line : lines(text)) {
            const auto fields = words(line);
            if (fields.size() == 2) {
                addresses[std::string(fields[0])].emplace_back(fields[1]);
            }
        }
        return addresses;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || entry->ifa_addr == nullptr ||
            entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
            addresses[entry->ifa_name].emplace_back(text);
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

using NetParse::DefaultRoute;

// The default route with the lowest metric; the first of equals.
std::optional<DefaultRoute> defaultRoute() {
    const auto text = HostFiles::read(HostFiles::path("/proc/net/route"), tableLimit);
    return text ? NetParse::defaultRoute(*text) : std::nullopt;
}

std::optional<std::vector<std::string>> nameservers(std::string_view file) {
    const auto text = HostFiles::read(HostFiles::path(file), tableLimit);
    if (!text) {
        return std::nullopt;
    }
    return NetParse::nameservers(*text);
}

std::vector<std::string> dnsServers() {
    auto servers = nameservers("/etc/resolv.conf").value_or(std::vector<std::string>{});
    const bool onlyStub = !servers.empty() && std::all_of(servers.begin(), servers.end(),
                                                          [](const std::string& server) {
                                                              return server == "127.0.0.53";
                                                          });
    if (onlyStub) {
        if (auto upstream = nameservers("/run/systemd/resolve/resolv.conf")) {
            return std::move(*upstream);
        }
    }
    return servers;
}

// The DNS servers, read again only when either resolver file was written, replaced, made or
// removed since the last read.
std::vector<std::string> dnsServers(NetCache& cache) {
    const FileStamp resolvConf = stamp(HostFiles::path("/etc/resolv.conf"));
    const FileStamp upstream = stamp(HostFiles::path("/run/systemd/resolve/resolv.conf"));
    if (!cache.dns || cache.dns->resolvConf != resolvConf || cache.dns->upstream != upstream) {
        cache.dns = NetCache::Dns{resolvConf, upstream, dnsServers()};
    }
    return cache.dns->servers;
}

} // namespace

std::map<std::string, IfCounters> interfaceCounters() {
    NetCache none;
    return interfaceCounters(none);
}

std::map<std::string, IfCounters> interfaceCounters(NetCache& cache) {
    std::map<std::string, IfCounters> counters;
    cache.order.clear();
    for (auto& [name, values] : procNetDev()) {
        counters[name] = values; // a name met twice keeps the later values
        cache.order.push_back(std::move(name));
    }
    return counters;
}

namespace {

// What an interface's folder, whose inode is `inode` (0: not known), says that cannot change
// while the interface exists.
NetFacts readFacts(const std::string& name, const NetFolder& folder, const std::string& sys,
                   std::uint64_t inode) {
    NetFacts facts;
    facts.inode = inode;
    const auto type = linkType(folder);
    facts.loopback = type ? *type == typeLoopback : name == "lo";
    if (facts.loopback) {
        return facts;
    }
    // A wireless interface always hangs below its radio's device; one with no device is not
    // looked at for the wireless folders.
    facts.isWiFi = folder.mayHaveDevice() && (folder.has("wireless") || folder.has("phy80211"));
    const auto usbDevice = usbDeviceOf(folder, sys);
    facts.isUSB = usbDevice.has_value();
    facts.name = displayName(name, folder, type, facts.isWiFi, usbDevice);
    return facts;
}

std::vector<NetInterface> interfaces(const std::map<std::string, IfCounters>& counters,
                                     NetCache* cache) {
    std::vector<NetInterface> list;
    const auto route = defaultRoute();
    if (cache != nullptr) {
        cache->route = route;
    }
    const auto addresses = ipv4Addresses();
    std::set<std::string> handled;
    const std::string classFolder = HostFiles::path("/sys/class/net");
    const std::string sys = HostFiles::resolved("", HostFiles::path("/sys"));
    std::map<std::string, NetFacts, std::less<>> kept;
    std::size_t keptOpen = 0; // operstates kept open
    std::vector<std::string> order;
    if (cache != nullptr && !cache->order.empty()) {
        order = std::move(cache->order);
        cache->order.clear();
    } else {
        for (auto& entry : procNetDev()) {
            order.push_back(std::move(entry.first));
        }
    }
    int place = -1; // the class folder, opened for the first interface read afresh
    for (const std::string& name : order) {
        const auto found = counters.find(name);
        if (!usableName(name) || handled.contains(name) || found == counters.end()) {
            continue;
        }
        handled.insert(name);
        const std::string link = classFolder + '/' + name;
        // A known interface costs a stat of its folder and a read of its operstate; one of a
        // name not kept is not looked up at all.
        const NetFacts* known = nullptr;
        std::uint64_t inode = 0;
        if (cache != nullptr && cache->knows(name)) {
            struct stat info {};
            if (::stat(link.c_str(), &info) == 0) {
                inode = static_cast<std::uint64_t>(info.st_ino);
                known = cache->find(name, inode);
            }
        }
        std::optional<NetFacts> read;
        std::optional<std::string> operstate;
        if (known != nullptr) {
            if (known->operstate) {
                operstate = known->operstate->read();
            } else if (!known->loopback) {
                operstate = HostFiles::quickAttribute((link + "/operstate").c_str());
            }
        } else {
            if (place < 0) {
                place = ::open(classFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            }
            const NetFolder folder(place, classFolder, name);
            if (cache != nullptr && inode == 0) {
                inode = folder.inode();
            }
            read = readFacts(name, folder, sys, inode);
            known = &*read;
            if (cache != nullptr && !read->loopback && keptOpen < keptOperstateLimit) {
                read->operstate = folder.keep("operstate");
            }
            operstate = read->operstate ? read->operstate->read() : folder.attribute("operstate");
        }
        keptOpen += known->operstate ? 1 : 0;
        if (cache != nullptr && known->inode != 0) {
            kept.emplace(name, *known);
        }
        if (known->loopback) {
            continue;
        }
        const IfCounters& c = found->second;
        NetInterface net;
        net.id = name;
        net.isWiFi = known->isWiFi;
        net.active = operstate == "up";
        net.isUSB = known->isUSB;
        // Dormant virtual interfaces (no traffic, down, not Wi-Fi, not on USB) are left out.
        if (c.inBytes == 0 && !net.isWiFi && !net.active && c.outBytes == 0 && !net.isUSB) {
            continue;
        }
        net.name = known->name;
        if (const auto own = addresses.find(name); own != addresses.end()) {
            net.ipv4 = own->second;
        }
        net.counters = c;
        net.isPrimary = route && route->interface == name;
        list.push_back(std::move(net));
    }
    if (place >= 0) {
        ::close(place);
    }
    if (cache != nullptr) {
        cache->keep(std::move(kept));
    }
    std::stable_sort(list.begin(), list.end(), [](const NetInterface& a, const NetInterface& b) {
        if (a.isPrimary != b.isPrimary) {
            return a.isPrimary;
        }
        if (a.active != b.active) {
            return a.active;
        }
        return a.name < b.name;
    });
    return list;
}

NetConfig config(NetCache* cache) {
    NetConfig config;
    std::optional<NetParse::DefaultRoute> route;
    if (cache != nullptr && cache->route) {
        route = std::move(*cache->route);
        cache->route.reset();
    } else {
        route = defaultRoute();
    }
    if (route) {
        config.primary = route->interface;
        config.router = route->router;
    }
    config.dns = cache != nullptr ? dnsServers(*cache) : dnsServers();
    if (cache != nullptr) {
        config.proxies = cache->proxies.read();
    } else {
        config.proxies = ProxySources().read();
    }
    return config;
}

} // namespace

std::vector<NetInterface> networkInterfaces(const std::map<std::string, IfCounters>& counters) {
    return interfaces(counters, nullptr);
}

std::vector<NetInterface> networkInterfaces(const std::map<std::string, IfCounters>& counters,
                                            NetCache& cache) {
    return interfaces(counters, &cache);
}

NetConfig netConfig(NetCache& cache) {
    return config(&cache);
}

NetConfig netConfig() {
    return config(nullptr);
}

bool networkStoreAvailable() {
    std::error_code ec;
    fs::directory_iterator probe(HostFiles::path("/proc/net"), ec);
    return !ec;
}

} // namespace vantrel::Scanner
