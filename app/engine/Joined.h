// Joins texts with a separator, the way every list inside an event sentence is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) {
            text += separator;
        }
        text += part;
    }
    return text;
}

} // namespace vantrel
