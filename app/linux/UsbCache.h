// What the USB scan keeps of each device between scans while the device stays connected, so that
// a steady scan reads no more than each device's authorization flag.
#pragma once

#include "app/engine/Devices.h"
#include "app/linux/HostFiles.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel::Scanner {

// One device as a scan read it, before the class devices below it are handed to it.
struct UsbFacts {
    USBDevice record;                       // id is the inode of its link
    std::vector<std::pair<int, int>> pairs; // the class pairs of the device and its interfaces
    std::optional<std::string> authorized;  // the flag as read with the rest
    std::vector<std::string> interfaces;    // its interfaces in the bus folder ("1-1:1.0")
    std::uint64_t link = 0;                 // the inode of its link in the bus folder
    // The authorization flag, kept open while the device stays (for the first keptOpenLimit
    // devices of a scan, so that a machine of many devices cannot run out of descriptors).
    std::shared_ptr<const HostFiles::KeptAttribute> authorizedFile;
};

inline constexpr std::size_t keptOpenLimit = 64;

// A link of a class folder (/sys/class/tty/ttyUSB0) and where it leads, for a look at the last
// names: the link's text, or the folder it resolves to when the text is not a plain one.
struct ClassLink {
    std::uint64_t inode = 0; // of the link: the kernel makes a new one for a new class device
    std::string path;
};

// The devices of the last scan by kernel name ("1-1.4"). A device whose link in the bus folder
// has another inode is another connection; one whose authorization flag or interfaces changed is
// read afresh. The class links of the last scan are kept the same way. The
// next scan keeps only the devices it finds, so what is kept stays bounded by what is attached.
// Both are kept as lists sorted by name, looked up by binary search: a scan makes them whole
// every time, in one allocation each rather than one per entry.
class UsbCache {
  public:
    template <class T> using ByName = std::vector<std::pair<std::string, T>>;

    // What `list`, a list of (name, value) pairs sorted by name, holds for `name`; none when it
    // holds nothing. A binary search.
    template <class List> static auto lookUp(const List& list, std::string_view name) {
        const auto at = std::lower_bound(
            list.begin(), list.end(), name,
            [](const auto& entry, std::string_view key) { return entry.first < key; });
        return at == list.end() || at->first != name ? nullptr : &at->second;
    }

    const UsbFacts* find(std::string_view name) const { return lookUp(facts_, name); }
    // `facts` with no name twice; they are sorted here.
    void keep(ByName<UsbFacts> facts) { facts_ = sorted(std::move(facts)); }
    std::size_t size() const { return facts_.size(); }

    // Where the class link `name` ("tty/ttyUSB0") led when its link had `inode`.
    const std::string* classLink(std::string_view name, std::uint64_t inode) const {
        const ClassLink* link = lookUp(links_, name);
        return link == nullptr || link->inode != inode ? nullptr : &link->path;
    }
    // `links` with no name twice; they are sorted here.
    void keepLinks(ByName<ClassLink> links) { links_ = sorted(std::move(links)); }

    // The names the last scan listed in the bus folder, interfaces left out (devices and root
    // hubs), for the port scan of the same cycle.
    const std::vector<std::string>& listed() const { return listed_; }
    void keepListed(std::vector<std::string> names) { listed_ = std::move(names); }

  private:
    template <class T> static ByName<T> sorted(ByName<T> list) {
        const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
        if (!std::is_sorted(list.begin(), list.end(), byKey)) {
            std::sort(list.begin(), list.end(), byKey);
        }
        return list;
    }
    ByName<UsbFacts> facts_;
    ByName<ClassLink> links_;
    std::vector<std::string> listed_;
};

} // namespace vantrel::Scanner
