// Texts that follow the user's locale (dates, relative times, byte counts) and the Unicode
// text rules of the trust core (full lower-casing, trimming of horizontal white space).
#pragma once

#include "core/Timestamp.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::LocaleText {

// The locale of the process as the C library names it: the first non-empty of LC_ALL,
// LC_TIME and LANG, read on every call ("en_US.UTF-8", "de_DE", "C", or "" when none is set).
std::string processLocaleName();

// The date of `t` (no time) in the medium style of the user's locale and time zone:
// "Oct 8, 2026" in en_US, "08.10.2026" in de_DE.
std::string mediumDate(Timestamp t);

// The date and time of `t` in the user's locale and time zone, laid out by an ICU date pattern:
// "MMM d, HH:mm:ss" gives "Oct 8, 10:24:00" in en_US. Each pattern's formatter is made on first
// use and kept.
std::string formatted(Timestamp t, std::string_view pattern);

// `t` described relative to `now` with full unit names in the user's language, in the largest
// calendar unit that is at least one whole unit: "3 hours ago", "in 2 minutes", "1 day ago".
std::string relativeTime(Timestamp t, Timestamp now);

// A byte count as a file size in decimal units: 2,500,000 reads "2.5 MB", 999 reads "999 bytes".
std::string byteCount(std::int64_t bytes);

// Full Unicode lower-casing, the same in every locale. Bytes that are not UTF-8 are replaced.
std::string lowercased(std::string_view text);

// `text` without leading and trailing horizontal white space: the Unicode space separators
// (general category Zs) and the tab. Line breaks and every other character stay.
std::string trimmed(std::string_view text);

} // namespace vantrel::LocaleText
