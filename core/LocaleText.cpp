#include "core/LocaleText.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/reldatefmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace vantrel::LocaleText {
namespace {

namespace chrono = std::chrono;

constexpr std::int64_t msPerDay = 86'400'000;

// Times further than this from 1970 (about 27,000 years) are pinned to it, so that neither ICU's
// calendars nor the civil arithmetic below see a time they cannot represent (or a NaN).
constexpr double limitMs = 1e7 * msPerDay;

// `t` as ICU's UDate: milliseconds since 1970-01-01 UTC.
double udate(Timestamp t) {
    const double ms = t.unixSeconds() * 1000;
    if (!(ms >= -limitMs)) { // also NaN
        return -limitMs;
    }
    return std::min(ms, limitMs);
}

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

const char* localeVariable() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "";
}

// The ICU locale for a C library locale name: "de_DE.UTF-8@euro" is de_DE. The C and POSIX
// locales, and no locale at all, read as en_US_POSIX: English words, numbers without grouping.
icu::Locale icuLocale(std::string_view posixName) {
    const std::string name(posixName.substr(0, posixName.find_first_of(".@")));
    if (name.empty() || name == "C" || name == "POSIX") {
        return icu::Locale("en_US_POSIX");
    }
    return icu::Locale(name.c_str());
}

// Calendars whose days, months and years fall where the Gregorian calendar's do (they differ
// only in how years are numbered), so that the civil arithmetic below counts them right.
bool countsLikeGregorian(const icu::Calendar& calendar) {
    const std::string_view type = calendar.getType();
    return type == "gregorian" || type == "iso8601" || type == "buddhist" || type == "roc";
}

// ICU's formatters are slow to make, and none of them may be shared between threads: each thread
// keeps one set, made anew when the process locale changes.
struct Formatters {
    std::string localeName; // as processLocaleName() read it when these were made
    std::unique_ptr<icu::DateFormat> date;
    std::unique_ptr<icu::Calendar> calendar; // the user's calendar in the default time zone
    // From this time on (ICU's UDate) the calendar counts days, months and years as the civil
    // arithmetic below does: after the switch from the Julian calendar in a Gregorian one.
    double civilFrom = std::numeric_limits<double>::infinity();
    std::unique_ptr<icu::RelativeDateTimeFormatter> relative;
    // Plain numbers shown with 0, 1 and 2 fraction digits: the integer n given reads n / 10^digits.
    std::array<std::optional<icu::number::LocalizedNumberFormatter>, 3> decimals;
    // Date patterns asked for so far; a null entry when ICU could not make the formatter.
    std::map<std::string, std::unique_ptr<icu::SimpleDateFormat>, std::less<>> patterns;

    explicit Formatters(std::string name);
};

Formatters::Formatters(std::string name) : localeName(std::move(name)) {
    const icu::Locale locale = icuLocale(localeName);
    UErrorCode status = U_ZERO_ERROR;

    date.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, locale));
    if (date != nullptr) {
        calendar.reset(date->getCalendar()->clone());
        const auto* gregorian = dynamic_cast<const icu::GregorianCalendar*>(calendar.get());
        if (gregorian != nullptr && countsLikeGregorian(*gregorian)) {
            // A day later, so that local dates at the switch are past it in every time zone.
            civilFrom = gregorian->getGregorianChange() + msPerDay;
        }
    }

    relative = std::make_unique<icu::RelativeDateTimeFormatter>(
        locale, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status)) {
        relative.reset();
    }

    for (int digits = 0; digits < static_cast<int>(decimals.size()); ++digits) {
        decimals[digits] = icu::number::NumberFormatter::withLocale(locale)
                               .scale(icu::number::Scale::powerOfTen(-digits))
                               .precision(icu::number::Precision::maxFraction(digits));
    }
}

Formatters& formatters() {
    thread_local std::optional<Formatters> cached;
    const std::string_view name = localeVariable();
    if (!cached || cached->localeName != name) {
        cached.emplace(std::string(name));
    }
    return *cached;
}

// A moment on the wall clock of the default time zone.
struct WallTime {
    chrono::sys_days day;
    std::int64_t ms; // since midnight
};

WallTime wallTime(double udate, const icu::TimeZone& zone) {
    std::int32_t raw = 0;
    std::int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone.getOffset(udate, false, raw, dst, status);
    if (U_FAILURE(status)) {
        raw = dst = 0;
    }
    const chrono::sys_time<chrono::milliseconds> local{
        chrono::milliseconds{static_cast<std::int64_t>(std::floor(udate)) + raw + dst}};
    const auto day = chrono::floor<chrono::days>(local);
    return {day, (local - day).count()};
}

std::int64_t wallMs(chrono::sys_days day, std::int64_t ms) {
    return day.time_since_epoch().count() * msPerDay + ms;
}

// `date` plus `months`, on the last day of the month it lands in when that is shorter.
chrono::year_month_day addMonths(chrono::year_month_day date, std::int64_t months) {
    const chrono::year_month month =
        chrono::year_month{date.year(), date.month()} + chrono::months{months};
    return month / std::min(date.day(), (month / chrono::last).day());
}

using Difference = std::pair<std::int64_t, URelativeDateTimeUnit>;

// The first of years, months, weeks, days, hours, minutes and seconds that is not zero when the
// time from `from` to `to` is counted out in them, largest first, each unit added to the wall
// clock the way a calendar adds it (January 31 plus a month is February 28 or 29).
//
// The count of years is zero exactly when fewer than twelve months are, so months are counted
// first. Each count is estimated from the dates alone and can only be one too many, when the
// wall time of `to` has not reached that of `from` yet.
Difference gregorianDifference(double fromUdate, double toUdate, const icu::TimeZone& zone) {
    const WallTime from = wallTime(fromUdate, zone);
    const WallTime to = wallTime(toUdate, zone);
    const std::int64_t target = wallMs(to.day, to.ms);
    const int sign = target >= wallMs(from.day, from.ms) ? 1 : -1;
    const auto pastTarget = [&](chrono::sys_days day) {
        return sign * (wallMs(day, from.ms) - target) > 0;
    };

    const chrono::year_month_day a{from.day};
    const chrono::year_month_day b{to.day};
    std::int64_t months =
        static_cast<std::int64_t>(int{b.year()} - int{a.year()}) * 12 +
        (static_cast<int>(unsigned{b.month()}) - static_cast<int>(unsigned{a.month()}));
    if (months != 0 && pastTarget(chrono::sys_days{addMonths(a, months)})) {
        months -= sign;
    }
    if (months / 12 != 0) {
        return {months / 12, UDAT_REL_UNIT_YEAR};
    }
    if (months != 0) {
        return {months, UDAT_REL_UNIT_MONTH};
    }

    std::int64_t days = (to.day - from.day).count();
    if (days != 0 && pastTarget(from.day + chrono::days{days})) {
        days -= sign;
    }
    if (days / 7 != 0) {
        return {days / 7, UDAT_REL_UNIT_WEEK};
    }
    if (days != 0) {
        return {days, UDAT_REL_UNIT_DAY};
    }

    // Within a day of wall time; the rest is counted in elapsed time.
    const auto elapsed = static_cast<std::int64_t>(toUdate - fromUdate);
    if (elapsed / 3'600'000 != 0) {
        return {elapsed / 3'600'000, UDAT_REL_UNIT_HOUR};
    }
    if (elapsed / 60'000 != 0) {
        return {elapsed / 60'000, UDAT_REL_UNIT_MINUTE};
    }
    return {elapsed / 1000, UDAT_REL_UNIT_SECOND};
}

// The same, counted by ICU: for calendars other than the Gregorian, and for the Julian years.
Difference calendarDifference(double fromUdate, double toUdate, icu::Calendar& calendar) {
    static constexpr std::array<std::pair<UCalendarDateFields, URelativeDateTimeUnit>, 7> units{{
        {UCAL_YEAR, UDAT_REL_UNIT_YEAR},
        {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
        {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK},
        {UCAL_DATE, UDAT_REL_UNIT_DAY},
        {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},
        {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE},
        {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
    }};
    UErrorCode status = U_ZERO_ERROR;
    calendar.setTime(fromUdate, status);
    for (const auto& [field, unit] : units) {
        const std::int32_t count = calendar.fieldDifference(toUdate, field, status);
        if (U_FAILURE(status)) {
            break;
        }
        if (count != 0) {
            return {count, unit};
        }
    }
    return {0, UDAT_REL_UNIT_SECOND};
}

std::string formatDecimal(const Formatters& f, std::int64_t scaled, int fractionDigits) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString text =
        f.decimals[fractionDigits]->formatInt(scaled, status).toString(status);
    return U_SUCCESS(status) ? utf8(text) : std::string();
}

bool isHorizontalSpace(UChar32 c) {
    return c == '\t' || (c >= 0 && u_charType(c) == U_SPACE_SEPARATOR);
}

} // namespace

std::string processLocaleName() {
    return localeVariable();
}

std::string mediumDate(Timestamp t) {
    Formatters& f = formatters();
    if (f.date == nullptr) {
        return {};
    }
    icu::UnicodeString text;
    f.date->format(udate(t), text);
    return utf8(text);
}

std::string formatted(Timestamp t, std::string_view pattern) {
    Formatters& f = formatters();
    auto found = f.patterns.find(pattern);
    if (found == f.patterns.end()) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString icuPattern = icu::UnicodeString::fromUTF8(
            icu::StringPiece(pattern.data(), static_cast<std::int32_t>(pattern.size())));
        auto format =
            std::make_unique<icu::SimpleDateFormat>(icuPattern, icuLocale(f.localeName), status);
        if (U_FAILURE(status)) {
            format.reset();
        }
        found = f.patterns.emplace(std::string(pattern), std::move(format)).first;
    }
    if (found->second == nullptr) {
        return {};
    }
    icu::UnicodeString text;
    found->second->format(udate(t), text);
    return utf8(text);
}

std::string relativeTime(Timestamp t, Timestamp now) {
    Formatters& f = formatters();
    if (f.relative == nullptr || f.calendar == nullptr) {
        return {};
    }
    const double from = udate(now);
    const double to = udate(t);
    const auto [count, unit] = std::min(from, to) >= f.civilFrom
                                   ? gregorianDifference(from, to, f.calendar->getTimeZone())
                                   : calendarDifference(from, to, *f.calendar);
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    f.relative->formatNumeric(static_cast<double>(count), unit, text, status);
    return U_SUCCESS(status) ? utf8(text) : std::string();
}

std::string byteCount(std::int64_t bytes) {
    struct Unit {
        const char* name;
        int fractionDigits;
    };
    // Each unit 1000 times the one before, from the kilobyte on.
    static constexpr std::array<Unit, 5> units{{
        {"KB", 0},
        {"MB", 1},
        {"GB", 2},
        {"TB", 2},
        {"PB", 2},
    }};
    static constexpr std::array<std::uint64_t, 3> powersOfTen{1, 10, 100};

    const Formatters& f = formatters();
    const bool negative = bytes < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(bytes) : bytes;
    if (magnitude < 1000) {
        return formatDecimal(f, bytes, 0) + (magnitude == 1 ? " byte" : " bytes");
    }

    std::size_t unit = 0;
    std::uint64_t unitBytes = 1000;
    while (unit + 1 < units.size() && magnitude / 1000 >= unitBytes) {
        ++unit;
        unitBytes *= 1000;
    }
    for (;;) {
        const std::uint64_t scale = powersOfTen[units[unit].fractionDigits];
        const std::uint64_t lastDigit = unitBytes / scale; // bytes in the last digit shown
        const std::uint64_t rounded = (magnitude + lastDigit / 2) / lastDigit; // half up
        // 999,999 bytes round to 1,000 KB, which reads 1 MB.
        if (rounded >= 1000 * scale && unit + 1 < units.size()) {
            ++unit;
            unitBytes *= 1000;
            continue;
        }
        const auto shown = static_cast<std::int64_t>(rounded);
        return formatDecimal(f, negative ? -shown : shown, units[unit].fractionDigits) + " " +
               units[unit].name;
    }
}

std::string lowercased(std::string_view text) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return U8_IS_SINGLE(c); })) {
        std::string result(text);
        for (char& c : result) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return result;
    }
    // Ill-formed sequences become U+FFFD on the way in.
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    return utf8(unicode.toLower(icu::Locale::getRoot()));
}

std::string trimmed(std::string_view text) {
    // A code point takes at most four bytes, so each step reads no more than that; this keeps
    // ICU's 32-bit offsets small whatever the length of the text.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto length =
            static_cast<std::int32_t>(std::min<std::size_t>(text.size() - begin, 4));
        std::int32_t i = 0;
        UChar32 c = 0;
        U8_NEXT(bytes + begin, i, length, c);
        if (!isHorizontalSpace(c)) {
            break;
        }
        begin += static_cast<std::size_t>(i);
    }
    std::size_t end = text.size();
    while (end > begin) {
        const auto window = static_cast<std::int32_t>(std::min<std::size_t>(end - begin, 4));
        std::int32_t i = window;
        UChar32 c = 0;
        U8_PREV(bytes + end - window, 0, i, c);
        if (!isHorizontalSpace(c)) {
            break;
        }
        end -= static_cast<std::size_t>(window - i);
    }
    return std::string(text.substr(begin, end - begin));
}

} // namespace vantrel::LocaleText
