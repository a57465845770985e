// Keyboards and pointing devices, from the kernel's input class (/sys/class/input/inputN).
//
// Each inputN folder is one input device as the kernel registered it. What kind of device it
// is comes from the event codes it can send: the letter keys make a keyboard; relative X and Y
// motion, or absolute X and Y with a mouse button or a finger on a touchpad, make a pointing
// device. Consumer controls, power buttons, lid switches, joysticks and touch screens are none
// of these and are left out.
//
// The bitmaps come from capabilities/key, rel and abs; a tree without that folder (some
// recordings of real machines) gives them through the KEY, REL and ABS lines of the uevent
// file, trusted only as InputUevent allows.
//
// A scan lists /sys/class/input once and stats each inputN folder. A device the cache holds with
// the same folder inode costs nothing more; any other is opened once, as a place only, and
// every attribute is read relative to it in one open, one read and one close.
#include "app/linux/HostFiles.h"
#include "app/linux/InputCache.h"
#include "app/linux/InputUevent.h"
#include "app/linux/Scanner.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vantrel::Scanner {

namespace {

// Event codes from the kernel's input-event-codes.h.
constexpr unsigned keyQ = 16, keyP = 25, keyA = 30, keyL = 38, keyZ = 44, keyM = 50;
constexpr unsigned btnLeft = 0x110;       // BTN_LEFT, the first mouse button
constexpr unsigned btnToolFinger = 0x145; // a finger on a touchpad
constexpr unsigned axisX = 0, axisY = 1;  // REL_X/REL_Y and ABS_X/ABS_Y

// The bus numbers of id/bustype (BUS_* in the kernel's input.h).
constexpr unsigned busUSB = 0x03, busBluetooth = 0x05, busVirtual = 0x06, busPS2 = 0x11,
                   busI2C = 0x18, busHost = 0x19, busSPI = 0x1C;

// An event-code bitmap as sysfs prints it: words of the kernel's unsigned long in hexadecimal,
// the most significant first, separated by spaces, with leading zero words left out. Here
// words[0] holds codes 0 to 63.
class Bitmap {
  public:
    static constexpr unsigned wordBits = sizeof(unsigned long) * CHAR_BIT;

    // A malformed bitmap reads as empty: the device then has none of those codes.
    static Bitmap parse(std::string_view text) {
        Bitmap bitmap;
        std::vector<std::uint64_t> words;
        std::size_t at = 0;
        while (at < text.size()) {
            if (text[at] == ' ' || text[at] == '\t' || text[at] == '\n') {
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < text.size() && text[end] != ' ' && text[end] != '\t' &&
                   text[end] != '\n') {
                ++end;
            }
            const std::string_view word = text.substr(at, end - at);
            std::uint64_t value = 0;
            const auto [stop, error] =
                std::from_chars(word.data(), word.data() + word.size(), value, 16);
            if (error != std::errc{} || stop != word.data() + word.size() ||
                word.size() > wordBits / 4) {
                return {};
            }
            words.push_back(value);
            at = end;
        }
        bitmap.words_.assign(words.rbegin(), words.rend());
        return bitmap;
    }

    bool has(unsigned code) const {
        const std::size_t word = code / wordBits;
        return word < words_.size() && ((words_[word] >> (code % wordBits)) & 1U) != 0;
    }

  private:
    std::vector<std::uint64_t> words_;
};

// An inputN folder, opened through its /sys/class/input link, so that each of its files is
// looked up from there rather than along the whole path again, and a keyboard's folder is listed
// through the same descriptor.
class InputFolder {
  public:
    InputFolder(int place, const std::string& name)
        : fd_(::openat(place, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    InputFolder(const InputFolder&) = delete;
    InputFolder& operator=(const InputFolder&) = delete;
    ~InputFolder() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int fd() const { return fd_; }

    std::optional<std::string> attribute(const char* file) const {
        return fd_ < 0 ? std::nullopt : HostFiles::quickAttribute(fd_, file);
    }

  private:
    int fd_ = -1;
};

// The key, rel and abs bitmaps: from capabilities/ where it is there, else from the uevent
// when that can be trusted, else none (the device is then no keyboard or pointing device).
struct Codes {
    Bitmap key, rel, abs;
};

Codes codesOf(const InputFolder& input, const std::optional<std::string>& name) {
    if (const auto key = input.attribute("capabilities/key")) {
        const auto other = [&](const char* file) {
            const auto text = input.attribute(file);
            return text ? Bitmap::parse(*text) : Bitmap{};
        };
        return {Bitmap::parse(*key), other("capabilities/rel"), other("capabilities/abs")};
    }
    const auto uevent = input.attribute("uevent");
    if (!uevent) {
        return {};
    }
    const InputUevent::Given given{name, input.attribute("phys"), input.attribute("uniq")};
    const auto codes = InputUevent::trustedCodes(*uevent, given);
    if (!codes) {
        return {};
    }
    return {Bitmap::parse(codes->key), Bitmap::parse(codes->rel), Bitmap::parse(codes->abs)};
}

bool hasLetterKeys(const Bitmap& keys) {
    for (const auto& [first, last] : {std::pair{keyQ, keyP}, {keyA, keyL}, {keyZ, keyM}}) {
        for (unsigned code = first; code <= last; ++code) {
            if (!keys.has(code)) {
                return false;
            }
        }
    }
    return true;
}

std::optional<std::string> kindOf(const Codes& codes) {
    if (hasLetterKeys(codes.key)) {
        return "Keyboard";
    }
    if (codes.rel.has(axisX) && codes.rel.has(axisY)) {
        return "Mouse/trackpad";
    }
    if (codes.abs.has(axisX) && codes.abs.has(axisY) &&
        (codes.key.has(btnLeft) || codes.key.has(btnToolFinger))) {
        return "Mouse/trackpad";
    }
    return std::nullopt;
}

// A four-digit hexadecimal id attribute ("046d"); 0 when absent or malformed.
std::int64_t hexValue(const std::optional<std::string>& text) {
    std::uint32_t value = 0;
    if (!text || text->empty() || text->size() > 8) {
        return 0;
    }
    const auto [stop, error] =
        std::from_chars(text->data(), text->data() + text->size(), value, 16);
    return error == std::errc{} && stop == text->data() + text->size() ? value : 0;
}

std::string transportName(std::int64_t bus) {
    switch (bus) {
    case busUSB:
        return "USB";
    case busBluetooth:
        return "Bluetooth";
    case busPS2:
        return "PS/2";
    case busI2C:
        return "I2C";
    case busSPI:
        return "SPI";
    case busVirtual:
        return "Virtual";
    default:
        return "Unknown";
    }
}

// The laptop's own keyboard and touchpad sit on the PS/2 controller, I2C, SPI or the host bus.
bool builtInBus(std::int64_t bus) {
    return bus == busPS2 || bus == busI2C || bus == busSPI || bus == busHost;
}

struct InputNode {
    unsigned long number = 0; // N of inputN: the kernel numbers them in registration order
    std::string name;         // "inputN"
    std::string folder;
    std::uint64_t link = 0; // the inode of its link in /sys/class/input
};

// The inputN entries of the class folder `inputClass`, open as `place`, in registration order;
// `events` gets its eventN links.
std::vector<InputNode> inputNodes(const std::string& inputClass, int place,
                                  InputCache::EventLinks& events) {
    std::vector<InputNode> nodes;
    for (HostFiles::Entry& entry : HostFiles::entries(place)) {
        const std::string& name = entry.name;
        if (name.starts_with("event")) {
            events.emplace_back(name, entry.inode);
            continue;
        }
        constexpr std::string_view prefix = "input";
        if (!name.starts_with(prefix) || name.size() == prefix.size() ||
            name.size() > prefix.size() + 9) {
            continue;
        }
        InputNode node;
        const char* digits = name.data() + prefix.size();
        const auto [stop, error] = std::from_chars(digits, name.data() + name.size(), node.number);
        if (error != std::errc{} || stop != name.data() + name.size()) {
            continue;
        }
        node.folder = inputClass + '/' + name;
        node.link = entry.inode;
        node.name = std::move(entry.name);
        nodes.push_back(std::move(node));
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const InputNode& a, const InputNode& b) { return a.number < b.number; });
    std::sort(events.begin(), events.end());
    return nodes;
}

// The eventN folders among `entries` of an input device's folder, as /dev/input paths, sorted.
std::vector<std::string> eventPaths(const std::vector<HostFiles::Entry>& entries) {
    std::vector<std::string> paths;
    for (const HostFiles::Entry& entry : entries) {
        const std::string& name = entry.name;
        if (entry.kind == HostFiles::Entry::folder && name.starts_with("event") &&
            name.size() > 5 && name.find_first_not_of("0123456789", 5) == std::string::npos) {
            paths.push_back("/dev/input/" + name);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The facts of the device in `node` of the class folder open as `place`; none when its folder is
// gone since the listing.
std::optional<InputFacts> readInput(int place, const InputNode& node) {
    const InputFolder folder(place, node.name);
    struct stat info {};
    if (folder.fd() < 0 || ::fstat(folder.fd(), &info) != 0) {
        return std::nullopt;
    }
    InputFacts facts;
    facts.inode = static_cast<std::uint64_t>(info.st_ino);
    // The kernel prints an empty name for a device that gave none.
    const auto given = folder.attribute("name");
    auto kind = kindOf(codesOf(folder, given));
    if (!kind) {
        return facts;
    }
    InputDevice device;
    device.name = given && !given->empty() ? *given : "Unknown input device";
    facts.name = given.value_or("");
    const auto busText = folder.attribute("id/bustype");
    const std::int64_t bus = busText ? hexValue(busText) : -1;
    device.transport = transportName(bus);
    device.vendorID = hexValue(folder.attribute("id/vendor"));
    device.productID = hexValue(folder.attribute("id/product"));
    device.builtIn = builtInBus(bus);
    device.kind = std::move(*kind);
    if (device.kind == "Keyboard") {
        facts.eventPaths = eventPaths(HostFiles::entries(folder.fd()));
    }
    facts.device = std::move(device);
    return facts;
}

struct Scanned : std::vector<std::pair<std::string, InputFacts>> {
    InputCache::EventLinks events; // the eventN links listed
};

// The facts of every inputN folder by name, in registration order, from `cache` where it holds
// the same connection. A folder that cannot be opened (gone since the listing) is left out.
Scanned scan(const InputCache& cache) {
    Scanned scanned;
    // The class folder stays open after its listing for the devices' folders to be opened
    // through it.
    const std::string inputClass = HostFiles::path("/sys/class/input");
    const int place = ::open(inputClass.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (place < 0) {
        return scanned;
    }
    const std::vector<InputNode> nodes = inputNodes(inputClass, place, scanned.events);
    // An event device registers just after its input device, and adds its eventN link.
    const bool newEvents = scanned.events != cache.eventLinks();
    for (const InputNode& node : nodes) {
        // The kernel makes the class link anew with the device: the same link is the same folder.
        // Where the listing gave no inode, the folder's own says whether it is the same.
        const InputFacts* known = cache.findByLink(node.name, node.link);
        if (known == nullptr && node.link == 0 && cache.knows(node.name)) {
            struct stat info {};
            if (::stat(node.folder.c_str(), &info) != 0) {
                continue;
            }
            known = cache.find(node.name, static_cast<std::uint64_t>(info.st_ino));
        }
        if (known == nullptr) {
            if (auto facts = readInput(place, node)) {
                facts->link = node.link;
                scanned.emplace_back(node.name, std::move(*facts));
            }
            continue;
        }
        InputFacts facts = *known;
        facts.link = node.link;
        // A keyboard seen without its event device looks again once one has registered.
        if (newEvents && facts.device && facts.device->kind == "Keyboard" &&
            facts.eventPaths.empty()) {
            facts.eventPaths = eventPaths(HostFiles::entries(node.folder));
        }
        scanned.emplace_back(node.name, std::move(facts));
    }
    ::close(place);
    return scanned;
}

// `cache` keeps exactly the devices of `scanned`.
void keep(InputCache& cache, Scanned&& scanned) {
    std::map<std::string, InputFacts, std::less<>> facts;
    for (auto& [name, fact] : scanned) {
        facts.emplace(std::move(name), std::move(fact));
    }
    cache.keep(std::move(facts));
    cache.keepEventLinks(std::move(scanned.events));
}

} // namespace

std::vector<InputDevice> inputDevices(InputCache& cache) {
    Scanned scanned = scan(cache);
    std::map<std::string, InputDevice> byKey;
    for (const auto& [name, facts] : scanned) {
        if (!facts.device) {
            continue;
        }
        const InputDevice& device = *facts.device;
        // A keyboard wins its key: the first keyboard stays, a pointing device is replaced.
        const auto found = byKey.find(device.key());
        if (found == byKey.end()) {
            byKey.emplace(device.key(), device);
        } else if (found->second.kind != "Keyboard") {
            found->second = device;
        }
    }
    keep(cache, std::move(scanned));
    std::vector<InputDevice> devices;
    devices.reserve(byKey.size());
    for (auto& entry : byKey) {
        devices.push_back(std::move(entry.second));
    }
    std::stable_sort(devices.begin(), devices.end(),
                     [](const InputDevice& a, const InputDevice& b) {
                         if (a.builtIn != b.builtIn) {
                             return !a.builtIn;
                         }
                         return a.name < b.name;
                     });
    return devices;
}

std::vector<InputDevice> inputDevices() {
    InputCache none;
    return inputDevices(none);
}

std::vector<KeyboardNode> keyboardNodes(InputCache& cache) {
    Scanned scanned = scan(cache);
    std::vector<KeyboardNode> keyboards;
    for (const auto& [name, facts] : scanned) {
        if (!facts.device || facts.device->kind != "Keyboard") {
            continue;
        }
        KeyboardNode keyboard;
        keyboard.registryID = facts.inode;
        keyboard.name = facts.name;
        keyboard.builtIn = facts.device->builtIn;
        keyboard.eventPaths = facts.eventPaths;
        keyboards.push_back(std::move(keyboard));
    }
    keep(cache, std::move(scanned));
    return keyboards;
}

std::vector<KeyboardNode> keyboardNodes() {
    InputCache none;
    return keyboardNodes(none);
}

} // namespace vantrel::Scanner
