// Device strings (names, vendors, serials) as they may be shown: valid UTF-8 that can neither
// rearrange the text around it nor hide text, and of bounded length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// The most code points a displayable string holds.
inline constexpr std::size_t displayableLength = 128;

// `text` made displayable:
// - each ill-formed UTF-8 sequence (each maximal part of one that could begin a well-formed
//   sequence) becomes one U+FFFD;
// - every code point of the general categories Cc, Zl, Zp and Cf is removed (control
//   characters, line and paragraph separators, bidirectional controls and isolates, zero-width
//   and invisible characters, byte order marks, interlinear annotation marks, tag characters),
//   except U+200C ZERO WIDTH NON-JOINER and U+200D ZERO WIDTH JOINER, which Persian, Indic
//   scripts and emoji sequences need; so are the unassigned code points reserved as invisible
//   (U+2065 among the invisible operators, for one);
// - what remains is cut after `displayableLength` code points.
// Text without any of these comes back unchanged, whatever its script.
std::string displayable(std::string_view text);

// `text` made displayable and wrapped in U+2068 FIRST STRONG ISOLATE and U+2069 POP DIRECTIONAL
// ISOLATE: a right-to-left name then reads correctly inside a left-to-right line, and the text
// around it keeps its order. For the windows, which lay out such isolates.
std::string isolated(std::string_view text);

} // namespace vantrel
