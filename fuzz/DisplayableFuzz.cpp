// The displayable form of a device string. Properties: it is valid UTF-8 of at most
// `displayableLength` code points, holds no code point of the general categories Cc, Zl, Zp or
// Cf other than U+200C and U+200D, is its own displayable form, and is the input itself when
// the input was already all of that.
#include "core/Displayable.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

using namespace vantrel;

namespace {

bool hidden(UChar32 c) {
    if (c == 0x200C || c == 0x200D) {
        return false;
    }
    const auto type = u_charType(c);
    return type == U_CONTROL_CHAR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR ||
           type == U_FORMAT_CHAR;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const std::string shown = displayable(input);
    const auto points = fuzz::codePoints(shown);
    fuzz::require(points.has_value(), "a displayable string is valid UTF-8");
    fuzz::require(points->size() <= displayableLength, "a displayable string is bounded");
    for (const UChar32 c : *points) {
        fuzz::require(!hidden(c), "a displayable string has no control, separator or format "
                                  "character but the joiners");
    }
    fuzz::require(displayable(shown) == shown, "a displayable string is its own displayable form");

    const auto given = fuzz::codePoints(input);
    const bool plain =
        given && given->size() <= displayableLength &&
        std::none_of(given->begin(), given->end(), [](UChar32 c) {
            return hidden(c) || (u_charType(c) == U_UNASSIGNED &&
                                 u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT));
        });
    fuzz::require(!plain || shown == input, "a string that is displayable already is kept");
    return 0;
}
