// The event-code bitmaps of an input device as its uevent file gives them, for trees that carry
// no capabilities/ folder, trusted only when no device-given text could have added lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel::InputUevent {

// The texts of the KEY, REL and ABS lines (empty when a line is missing).
struct Codes {
    std::string key;
    std::string rel;
    std::string abs;
};

// The attributes the uevent repeats between double quotes, as read from their own files; none
// when a file is not there.
struct Given {
    std::optional<std::string> name;
    std::optional<std::string> phys;
    std::optional<std::string> uniq;
};

// The kernel prints NAME, PHYS and UNIQ unescaped, so a device could end its name with a quote
// and a line break and write lines of its own. The bitmaps are trusted only when every line is
// KEY=value, no key comes twice, the known keys come in the kernel's order with EV present,
// each quoted value is closed at the end of its line and equals the attribute it repeats
// (which holds no line break). Otherwise none.
std::optional<Codes> trustedCodes(std::string_view uevent, const Given& given);

} // namespace vantrel::InputUevent
