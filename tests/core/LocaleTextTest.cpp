#include "core/LocaleText.h"

#include "core/PlatformText.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr Timestamp now{813147840}; // 2026-10-08 10:24:00 UTC
constexpr double hour = 3600;
constexpr double day = 86400;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// `f()` with LC_ALL set to `locale`; LC_ALL is put back afterwards.
template <class F> std::string inLocale(const char* locale, F f) {
    const std::string old = env("LC_ALL");
    setenv("LC_ALL", locale, 1);
    std::string result = f();
    setenv("LC_ALL", old.c_str(), 1);
    return result;
}

TEST(LocaleTextTest, ProcessLocaleNameTakesFirstNonEmptyVariable) {
    struct Case {
        const char *all, *time, *lang, *expected;
    } const cases[] = {{"de_DE.UTF-8", "fr_FR", "C", "de_DE.UTF-8"},
                       {"", "fr_FR", "C", "fr_FR"},
                       {"", "", "C", "C"},
                       {"", "", "", ""}};
    const std::string all = env("LC_ALL"), time = env("LC_TIME"), lang = env("LANG");
    for (const Case& c : cases) {
        setenv("LC_ALL", c.all, 1);
        setenv("LC_TIME", c.time, 1);
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(LocaleText::processLocaleName(), c.expected);
    }
    setenv("LC_ALL", all.c_str(), 1);
    setenv("LC_TIME", time.c_str(), 1);
    setenv("LANG", lang.c_str(), 1);
}

// Rows switch locales back and forth, so formatters kept from an earlier row would show.
TEST(LocaleTextTest, MediumDate) {
    struct Case {
        const char* locale;
        Timestamp t;
        const char* expected;
    } const cases[] = {
        {"en_US.UTF-8", now, "Oct 8, 2026"},
        {"de_DE.UTF-8", now, "08.10.2026"},
        {"en_US.UTF-8", Timestamp{0}, "Jan 1, 2001"},
        {"de_DE.UTF-8@euro", now, "08.10.2026"},
        {"C", now, "Oct 8, 2026"},
        {"POSIX", Timestamp::distantPast(), "Jan 1, 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inLocale(c.locale, [&] { return LocaleText::mediumDate(c.t); }), c.expected)
            << c.locale << " " << c.t.seconds;
    }
}

TEST(LocaleTextTest, RelativeTimeShowsLargestWholeCalendarUnit) {
    constexpr Timestamp jan31{791593200}; // 2026-01-31 23:00 UTC
    constexpr Timestamp feb28{794012400}; // 2026-02-28 23:00 UTC
    constexpr Timestamp mar31{796640400}; // 2026-03-31 09:00 UTC
    struct Case {
        const char* locale;
        Timestamp t, now;
        const char* expected;
    } const cases[] = {
        {"en_US.UTF-8", now, now, "in 0 seconds"},
        {"en_US.UTF-8", now + 59.9, now, "in 59 seconds"},
        {"en_US.UTF-8", now - (hour - 1), now, "59 minutes ago"},
        {"en_US.UTF-8", now - hour, now, "1 hour ago"},
        {"en_US.UTF-8", now - 10.5 * hour, now, "10 hours ago"}, // yesterday, not a day ago
        {"en_US.UTF-8", now - (day - 1), now, "23 hours ago"},
        {"en_US.UTF-8", now - day, now, "1 day ago"},
        {"en_US.UTF-8", now + 6.9 * day, now, "in 6 days"},
        {"en_US.UTF-8", now - 7 * day, now, "1 week ago"},
        {"en_US.UTF-8", now - 29 * day, now, "4 weeks ago"},
        {"en_US.UTF-8", now - 30 * day, now, "1 month ago"},
        {"en_US.UTF-8", now - 364 * day, now, "11 months ago"},
        {"en_US.UTF-8", now + 731 * day, now, "in 2 years"},
        // A month from January 31 ends on February 28, as does a month back from March 31.
        {"en_US.UTF-8", feb28, jan31, "in 1 month"},
        {"en_US.UTF-8", feb28 - 1, jan31, "in 3 weeks"},
        {"en_US.UTF-8", feb28 - 14 * hour, mar31, "1 month ago"},
        {"en_US.UTF-8", feb28 - 13 * hour, mar31, "4 weeks ago"},
        {"en_US.UTF-8", Timestamp::distantPast(), now, "2,025 years ago"}, // Julian years
        {"de_DE.UTF-8", now - 3 * hour, now, "vor 3 Stunden"},
        {"de_DE.UTF-8", now + 2 * day, now, "in 2 Tagen"},
        // The Persian month before Mehr has 31 days.
        {"fa_IR.UTF-8", now - 30 * day, now, "۴ هفته پیش"},
        {"fa_IR.UTF-8", now - 31 * day, now, "۱ ماه پیش"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inLocale(c.locale, [&] { return LocaleText::relativeTime(c.t, c.now); }),
                  c.expected)
            << c.locale << " " << c.t.seconds << " from " << c.now.seconds;
    }
}

TEST(LocaleTextTest, ByteCount) {
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::int64_t bytes;
        const char* expected;
    } const cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},
        {999'499, "999 KB"},
        {999'999, "1 MB"},
        {2'000'000, "2 MB"},
        {2'500'000, "2.5 MB"},
        {999'950'000, "1 GB"},
        {1'005'000'000, "1.01 GB"},
        {1'530'000'000, "1.53 GB"},
        {-2'500'000, "-2.5 MB"},
        {min, "-9,223.37 PB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inLocale("en_US.UTF-8", [&] { return LocaleText::byteCount(c.bytes); }),
                  c.expected)
            << c.bytes;
    }
    EXPECT_EQ(inLocale("de_DE.UTF-8", [] { return LocaleText::byteCount(2'500'000); }), "2,5 MB");
    EXPECT_EQ(inLocale("de_DE.UTF-8", [] { return LocaleText::byteCount(min); }), "-9.223,37 PB");
    EXPECT_EQ(inLocale("C", [] { return LocaleText::byteCount(min); }), "-9223.37 PB");
}

TEST(LocaleTextTest, Lowercased) {
    struct Case {
        const char* locale;
        std::string text, expected;
    } const cases[] = {
        {"en_US.UTF-8", "@AZ[ az", "@az[ az"},   {"en_US.UTF-8", "ÄÖÜ", "äöü"},
        {"en_US.UTF-8", "ΟΔΟΣ ΣΑΣ", "οδος σας"}, // final sigma at the ends of words
        {"en_US.UTF-8", "İ", "i\u0307"},         {"tr_TR.UTF-8", "TITAN", "titan"},
        {"en_US.UTF-8", "A\xFF!", "a\uFFFD!"},   {"en_US.UTF-8", "Ä\xE2\x82", "ä\uFFFD"}};
    for (const Case& c : cases) {
        EXPECT_EQ(inLocale(c.locale, [&] { return LocaleText::lowercased(c.text); }), c.expected)
            << c.text;
    }
}

TEST(LocaleTextTest, Trimmed) {
    struct Case {
        std::string text, expected;
    } const cases[] = {
        {"", ""},
        {" \t \u00A0\u3000", ""},
        {"\u00A0\tPro  Keyboard\u3000 ", "Pro  Keyboard"},
        {"\u2003x\u202F", "x"},
        {" \r\n x \n ", "\r\n x \n"},
        {"\u200Bx\u200B", "\u200Bx\u200B"}, // zero width space is a format character
        {" \xFF ", "\xFF"},
        {"\xC2 x \xC2", "\xC2 x \xC2"},
        {"x \xA0", "x \xA0"}, // the last byte of a no-break space, alone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LocaleText::trimmed(c.text), c.expected) << c.text;
    }
}

TEST(PlatformTextTest, Words) {
    EXPECT_EQ(PlatformText::words("{os} on this {machine}{machine}"),
              "Linux on this computercomputer");
    EXPECT_EQ(PlatformText::words("{{os}} {other} {os"), "{Linux} {other} {os");
}

} // namespace
} // namespace vantrel
