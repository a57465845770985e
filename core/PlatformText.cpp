#include "core/PlatformText.h"

#include <array>
#include <utility>

namespace vantrel::PlatformText {

std::string words(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 2> placeholders{{
        {"{os}", os},
        {"{machine}", machine},
    }};
    std::string result;
    result.reserve(text.size() + 16);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brace = text.find('{', pos);
        if (brace == std::string_view::npos) {
            break;
        }
        result.append(text, pos, brace - pos);
        pos = brace;
        bool replaced = false;
        for (const auto& [placeholder, word] : placeholders) {
            if (text.substr(brace).starts_with(placeholder)) {
                result.append(word);
                pos += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            result.push_back('{');
            ++pos;
        }
    }
    result.append(text.substr(pos));
    return result;
}

} // namespace vantrel::PlatformText
