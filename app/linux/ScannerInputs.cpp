// Keyboards and pointing devices, from the kernel's input class (/sys/class/input/inputN).
//
// Each inputN folder is one input device as the kernel registered it. What kind of device it
// is comes from the event codes it can send: the letter keys make a keyboard; relative X and Y
// motion, or absolute X and Y with a mouse button or a finger on a touchpad, make a pointing
// device. Consumer controls, power buttons, lid switches, joysticks and touch screens are none
// of these and are left out.
//
// A scan lists /sys/class/input once and opens each inputN folder once, as a place only; every
// attribute is then read relative to it in one open, one read and one close, and a device that
// is no keyboard or pointing device costs no more than its capability bitmaps.
#include "app/linux/HostFiles.h"
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

// An inputN folder, opened as a place only (O_PATH) through its /sys/class/input link, so that
// each of its files is looked up from there rather than along the whole path again.
class InputFolder {
  public:
    explicit InputFolder(const std::string& path)
        : fd_(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
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

Bitmap capabilities(const InputFolder& input, const char* file) {
    const auto text = input.attribute(file);
    return text ? Bitmap::parse(*text) : Bitmap{};
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

std::optional<std::string> kindOf(const InputFolder& input) {
    const Bitmap keys = capabilities(input, "capabilities/key");
    if (hasLetterKeys(keys)) {
        return "Keyboard";
    }
    const Bitmap rel = capabilities(input, "capabilities/rel");
    if (rel.has(axisX) && rel.has(axisY)) {
        return "Mouse/trackpad";
    }
    const Bitmap abs = capabilities(input, "capabilities/abs");
    if (abs.has(axisX) && abs.has(axisY) && (keys.has(btnLeft) || keys.has(btnToolFinger))) {
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
    std::string folder;
};

// The inputN entries of /sys/class/input in registration order.
std::vector<InputNode> inputNodes() {
    std::vector<InputNode> nodes;
    const std::string inputClass = HostFiles::path("/sys/class/input").string();
    for (const HostFiles::Entry& entry : HostFiles::entries(inputClass)) {
        const std::string& name = entry.name;
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
        nodes.push_back(std::move(node));
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const InputNode& a, const InputNode& b) { return a.number < b.number; });
    return nodes;
}

// The device in the folder open as `folder`; none when it is no keyboard or pointing device.
// `name` gets the name attribute as the kernel gives it.
std::optional<InputDevice> readInput(const InputFolder& folder, std::string* name = nullptr) {
    auto kind = kindOf(folder);
    if (!kind) {
        return std::nullopt;
    }
    InputDevice device;
    // The kernel prints an empty name for a device that gave none.
    const auto given = folder.attribute("name");
    device.name = given && !given->empty() ? *given : "Unknown input device";
    if (name != nullptr) {
        *name = given.value_or("");
    }
    const auto busText = folder.attribute("id/bustype");
    const std::int64_t bus = busText ? hexValue(busText) : -1;
    device.transport = transportName(bus);
    device.vendorID = hexValue(folder.attribute("id/vendor"));
    device.productID = hexValue(folder.attribute("id/product"));
    device.builtIn = builtInBus(bus);
    device.kind = std::move(*kind);
    return device;
}

} // namespace

std::vector<InputDevice> inputDevices() {
    std::map<std::string, InputDevice> byKey;
    for (const InputNode& node : inputNodes()) {
        auto device = readInput(InputFolder(node.folder));
        if (!device) {
            continue;
        }
        // A keyboard wins its key: the first keyboard stays, a pointing device is replaced.
        const auto found = byKey.find(device->key());
        if (found == byKey.end()) {
            byKey.emplace(device->key(), std::move(*device));
        } else if (found->second.kind != "Keyboard") {
            found->second = std::move(*device);
        }
    }
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

std::vector<KeyboardNode> keyboardNodes() {
    std::vector<KeyboardNode> keyboards;
    for (const InputNode& node : inputNodes()) {
        const InputFolder folder(node.folder);
        KeyboardNode keyboard;
        const auto device = readInput(folder, &keyboard.name);
        if (!device || device->kind != "Keyboard") {
            continue;
        }
        struct stat info {};
        if (::fstat(folder.fd(), &info) == 0) {
            keyboard.registryID = static_cast<std::uint64_t>(info.st_ino);
        }
        keyboard.builtIn = device->builtIn;
        for (const HostFiles::Entry& entry : HostFiles::entries(node.folder)) {
            const std::string& name = entry.name;
            if (entry.kind == HostFiles::Entry::folder && name.starts_with("event") &&
                name.size() > 5 && name.find_first_not_of("0123456789", 5) == std::string::npos) {
                keyboard.eventPaths.push_back("/dev/input/" + name);
            }
        }
        std::sort(keyboard.eventPaths.begin(), keyboard.eventPaths.end());
        keyboards.push_back(std::move(keyboard));
    }
    return keyboards;
}

} // namespace vantrel::Scanner
