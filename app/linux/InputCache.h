// What the input scan keeps of each input device while the same connection lasts, so that a
// steady scan lists /sys/class/input and reads no input device's files again.
#pragma once

#include "app/engine/Devices.h"
#include "app/linux/Scanner.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel::Scanner {

// One inputN folder as it was read when it appeared.
struct InputFacts {
    std::uint64_t inode = 0;             // of the folder: a device made again gets another
    std::uint64_t link = 0;              // of its link in /sys/class/input, likewise
    std::optional<InputDevice> device;   // none: no keyboard or pointing device
    std::string name;                    // the name attribute as the kernel gives it
    std::vector<std::string> eventPaths; // of a keyboard: "/dev/input/eventN", sorted
};

// The devices of the last scan by inputN name. The next scan keeps only those it finds, so what
// is kept stays bounded by what is attached.
class InputCache {
  public:
    // The facts of `name` when they were read from the folder with `inode`.
    const InputFacts* find(std::string_view name, std::uint64_t inode) const {
        const auto at = facts_.find(name);
        return at == facts_.end() || at->second.inode != inode ? nullptr : &at->second;
    }
    // The facts of `name` when its class link had `link` (not 0): the folder is then the same.
    const InputFacts* findByLink(std::string_view name, std::uint64_t link) const {
        const auto at = facts_.find(name);
        return link == 0 || at == facts_.end() || at->second.link != link ? nullptr : &at->second;
    }
    // Whether facts of an input device called `name` are kept, from whatever folder.
    bool knows(std::string_view name) const { return facts_.contains(name); }
    void keep(std::map<std::string, InputFacts, std::less<>> facts) { facts_ = std::move(facts); }
    std::size_t size() const { return facts_.size(); }

    // The eventN links of /sys/class/input the last scan listed, with their inodes, sorted: while
    // they stay the same, no event device has registered since.
    using EventLinks = std::vector<std::pair<std::string, std::uint64_t>>;
    const EventLinks& eventLinks() const { return eventLinks_; }
    void keepEventLinks(EventLinks links) { eventLinks_ = std::move(links); }

  private:
    std::map<std::string, InputFacts, std::less<>> facts_;
    EventLinks eventLinks_;
};

// inputDevices() and keyboardNodes(), reading only the devices `cache` does not hold yet: a
// steady scan costs the listing of /sys/class/input.
std::vector<InputDevice> inputDevices(InputCache& cache);
std::vector<KeyboardNode> keyboardNodes(InputCache& cache);

} // namespace vantrel::Scanner
