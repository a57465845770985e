#include "core/Displayable.h"

#include <string>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

const std::string fffd = "\xEF\xBF\xBD";

std::string times(std::size_t n, const std::string& piece) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += piece;
    }
    return text;
}

TEST(Displayable, removesWhatSteersOrHidesAndKeepsRealText) {
    std::string invisibleOperators; // U+2060 to U+206F, U+2065 unassigned among them
    for (char last = '\xA0'; last <= '\xAF'; ++last) {
        invisibleOperators += std::string("\xE2\x81") + last;
    }
    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"right-to-left override", "Keyboard\u202E)1234:5678(", "Keyboard)1234:5678("},
        {"embeddings, overrides, marks", "\u202Aa\u202Bb\u202Cc\u202Dd\u200Ee\u200Ff\u061Cg",
         "abcdefg"},
        {"isolates", "\u2066a\u2067b\u2068c\u2069", "abc"},
        {"zero width space", "Us\u200Bb", "Usb"},
        {"invisible operators", "x" + invisibleOperators + "y", "xy"},
        {"byte order mark, annotation marks", "\uFEFFa\uFFF9b\uFFFAc\uFFFB", "abc"},
        {"tag characters",
         "\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067"
         "\U000E007F\U000E0001",
         "\U0001F3F4"},
        {"soft hyphen", "Dock\u00ADing", "Docking"},
        {"joiners in an emoji",
         "\U0001F469\u200D\U0001F4BB \U0001F468\u200D\U0001F469\u200D"
         "\U0001F467",
         "\U0001F469\u200D\U0001F4BB \U0001F468\u200D\U0001F469\u200D\U0001F467"},
        {"non-joiner in a Persian word", "\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645",
         "\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645"},
        {"Arabic", "\u0644\u0648\u062D\u0629 \u0645\u0641\u0627\u062A\u064A\u062D",
         "\u0644\u0648\u062D\u0629 \u0645\u0641\u0627\u062A\u064A\u062D"},
        {"Hebrew", "\u05DE\u05E7\u05DC\u05D3\u05EA", "\u05DE\u05E7\u05DC\u05D3\u05EA"},
        {"CJK", "\u952E\u76D8 \u30AD\u30FC\u30DC\u30FC\u30C9 \uD0A4\uBCF4\uB4DC",
         "\u952E\u76D8 \u30AD\u30FC\u30DC\u30FC\u30C9 \uD0A4\uBCF4\uB4DC"},
        {"Latin, symbols, no-break space", "B\u00FCro \U0001F50C Dock \u201CX\u201D\u00A0\u2122",
         "B\u00FCro \U0001F50C Dock \u201CX\u201D\u00A0\u2122"},
        {"control characters", std::string("a\nb\rc\td\x1B[2J\0e\x7F", 14), "abcd[2Je"},
        {"C1 controls", "next\xC2\x85line\xC2\x9F", "nextline"},
        {"line and paragraph separators", "ls\u2028ps\u2029", "lsps"},
        {"ill-formed bytes", "bad\xFF\xC2", "bad" + fffd + fffd},
        {"overlong, surrogate, cut short", "\xC0\xAF|\xED\xA0\x80|\xE2\x82",
         fffd + fffd + "|" + fffd + fffd + fffd + "|" + fffd},
        {"cut after 128 code points", times(127, "a") + "\u00E9xyz", times(127, "a") + "\u00E9"},
        {"cut between four-byte code points", times(130, "\U0001F50C"), times(128, "\U0001F50C")},
        {"removed code points not counted", times(200, "a\u200B"), times(128, "a")},
        {"replacements counted", times(130, "\xFF"), times(128, fffd)},
        {"plain text at the limit", times(128, "z"), times(128, "z")},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        const std::string shown = displayable(c.text);
        EXPECT_EQ(shown, c.expected) << c.what;
        EXPECT_EQ(displayable(shown), shown) << c.what;
    }
}

} // namespace
} // namespace vantrel
