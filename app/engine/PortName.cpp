// The name a port is shown by, from the description the system gives it.
#include "app/engine/Devices.h"

#include <string_view>
#include <vector>

namespace vantrel {

std::string prettyPortName(std::string_view description) {
    constexpr std::string_view prefix = "Port-";
    if (description.starts_with(prefix)) {
        description.remove_prefix(prefix.size());
    }
    std::vector<std::string_view> pieces;
    for (std::size_t from = 0; from <= description.size();) {
        const std::size_t at = std::min(description.find('@', from), description.size());
        if (at > from) {
            pieces.push_back(description.substr(from, at - from));
        }
        from = at + 1;
    }
    if (pieces.empty()) {
        return std::string(description);
    }
    if (pieces[0] == "USB-C" && pieces.size() >= 2) {
        return "USB-C port " + std::string(pieces[1]);
    }
    return std::string(pieces[0]);
}

} // namespace vantrel
