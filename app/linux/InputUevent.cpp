// The trusted bitmaps of an input device's uevent file.
//
// The kernel writes the lines in a fixed order (input_dev_uevent): PRODUCT, NAME, PHYS, UNIQ,
// PROP, EV, KEY, REL, ABS, MSC, LED, SND, FF, SW, MODALIAS, and always PROP and EV. A line made
// up inside a quoted value therefore either repeats a key written later, breaks the order, or
// leaves the quoted value different from its attribute.
#include "app/linux/InputUevent.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace vantrel::InputUevent {
namespace {

constexpr std::array<std::string_view, 15> order = {"PRODUCT", "NAME", "PHYS", "UNIQ", "PROP",
                                                    "EV",      "KEY",  "REL",  "ABS",  "MSC",
                                                    "LED",     "SND",  "FF",   "SW",   "MODALIAS"};
constexpr std::size_t quotedFirst = 1, quotedLast = 3, ev = 5; // NAME, PHYS, UNIQ; EV
// The kernel writes fewer than twenty lines; a file of more is not an input device's.
constexpr std::size_t lineLimit = 64;

bool plainKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// Whether `value` is "text", closed on its line, with text equal to the attribute `given`.
bool quotedMatches(std::string_view value, const std::optional<std::string>& given) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        return false;
    }
    const std::string_view text = value.substr(1, value.size() - 2);
    return !given || (given->find('\n') == std::string::npos && text == *given);
}

} // namespace

std::optional<Codes> trustedCodes(std::string_view uevent, const Given& given) {
    const std::array<const std::optional<std::string>*, 3> attributes = {&given.name, &given.phys,
                                                                         &given.uniq};
    for (const auto* attribute : attributes) {
        if (*attribute && (*attribute)->find('\n') != std::string::npos) {
            return std::nullopt;
        }
    }
    Codes codes;
    std::array<bool, order.size()> seen{};
    std::size_t last = 0; // one past the latest known key met
    std::vector<std::string_view> keys;
    while (!uevent.empty()) {
        const std::size_t end = uevent.find('\n');
        const std::string_view line = uevent.substr(0, end);
        uevent = end == std::string_view::npos ? std::string_view() : uevent.substr(end + 1);
        if (line.empty() && uevent.empty()) {
            break; // the file's last line feed
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || !plainKey(line.substr(0, equals))) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (keys.size() == lineLimit || std::find(keys.begin(), keys.end(), key) != keys.end()) {
            return std::nullopt;
        }
        keys.push_back(key);
        const auto known = std::find(order.begin(), order.end(), key);
        if (known == order.end()) {
            continue;
        }
        const auto index = static_cast<std::size_t>(known - order.begin());
        if (index < last) {
            return std::nullopt;
        }
        last = index + 1;
        seen[index] = true;
        if (index >= quotedFirst && index <= quotedLast &&
            !quotedMatches(value, *attributes[index - quotedFirst])) {
            return std::nullopt;
        }
        if (key == "KEY") {
            codes.key = value;
        } else if (key == "REL") {
            codes.rel = value;
        } else if (key == "ABS") {
            codes.abs = value;
        }
    }
    // NAME is left out only for a device that gave no name.
    const bool nameAccounted = seen[quotedFirst] || !given.name || given.name->empty();
    if (!seen[ev] || !nameAccounted) {
        return std::nullopt;
    }
    return codes;
}

} // namespace vantrel::InputUevent
