// Device strings made displayable: the UTF-8 repaired, the invisible and layout-steering code
// points removed by their Unicode general category, the length bounded.
#include "core/Displayable.h"

#include <algorithm>
#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace vantrel {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

bool removed(UChar32 c) {
    if (c == 0x200C || c == 0x200D) {
        return false;
    }
    switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
    case U_FORMAT_CHAR:
        return true;
    case U_UNASSIGNED:
        // Reserved for format characters to come: renderers already draw them as nothing.
        return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) != 0;
    default:
        return false;
    }
}

bool plainASCII(std::string_view text) {
    return text.size() <= displayableLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

std::string displayable(std::string_view text) {
    if (plainASCII(text)) {
        return std::string(text);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::string out;
    out.reserve(std::min(size, 4 * displayableLength));
    std::size_t kept = 0;
    std::size_t i = 0;
    while (i < size && kept < displayableLength) {
        const std::size_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, size, c);
        if (c < 0) {
            out += replacement;
        } else if (!removed(c)) {
            out.append(text.substr(start, i - start));
        } else {
            continue;
        }
        ++kept;
    }
    return out;
}

std::string isolated(std::string_view text) {
    return "\u2068" + displayable(text) + "\u2069";
}

} // namespace vantrel
