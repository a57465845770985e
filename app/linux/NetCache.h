// What the network scan keeps between cycles: each interface's fixed facts while it lasts, the DNS
// servers while the resolver files stay as they were, and the proxy sources.
#pragma once

#include "app/linux/FileStamp.h"
#include "app/linux/HostFiles.h"
#include "app/linux/NetParse.h"
#include "app/linux/Proxies.h"
#include "app/linux/Scanner.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::Scanner {

// What cannot change while an interface exists: whether it is Wi-Fi, on USB, and its name shown.
struct NetFacts {
    std::uint64_t inode = 0; // of its folder: an interface made again gets another
    bool loopback = false;
    bool isWiFi = false;
    bool isUSB = false;
    std::string name; // "Wi-Fi", the USB product, "Ethernet" or the interface name
    // Its operstate, kept open while the interface lasts (for the first keptOperstateLimit
    // interfaces of a scan).
    std::shared_ptr<const HostFiles::KeptAttribute> operstate;
};

inline constexpr std::size_t keptOperstateLimit = 32;

class NetCache {
  public:
    // The facts of `name` when they were read from the folder with `inode`.
    const NetFacts* find(std::string_view name, std::uint64_t inode) const {
        const auto at = facts_.find(name);
        return at == facts_.end() || at->second.inode != inode ? nullptr : &at->second;
    }
    void keep(std::map<std::string, NetFacts, std::less<>> facts) { facts_ = std::move(facts); }
    std::size_t size() const { return facts_.size(); }

    // The DNS servers last read, with the stamps of the two resolver files they came from.
    struct Dns {
        FileStamp resolvConf, upstream;
        std::vector<std::string> servers;
    };
    std::optional<Dns> dns;
    // The interfaces of /proc/net/dev in the file's order, as the last interfaceCounters(cache)
    // read them: networkInterfaces(counters, cache) goes by it rather than read the file again.
    std::vector<std::string> order;
    // The default route as networkInterfaces(counters, cache) read it, for netConfig(cache) of
    // the same cycle, which takes it rather than read /proc/net/route again.
    std::optional<std::optional<NetParse::DefaultRoute>> route;
    // GNOME's proxy settings, open, and KDE's while its file stays as it was.
    ProxySources proxies;

    // Whether facts of an interface called `name` are kept, from whatever folder.
    bool knows(std::string_view name) const { return facts_.contains(name); }

  private:
    std::map<std::string, NetFacts, std::less<>> facts_;
};

// interfaceCounters(), keeping the interfaces' order in `cache`.
std::map<std::string, IfCounters> interfaceCounters(NetCache& cache);

// networkInterfaces() and netConfig(), reading only what `cache` cannot vouch for: a steady scan
// stats each interface's folder and reads its operstate (kept open), and reads the resolver files
// only when they changed.
std::vector<NetInterface> networkInterfaces(const std::map<std::string, IfCounters>& counters,
                                            NetCache& cache);
NetConfig netConfig(NetCache& cache);

} // namespace vantrel::Scanner
