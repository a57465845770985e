// A point in time as seconds since 2001-01-01 00:00:00 UTC, the form Vantrel stores and compares.
// A thin wrapper over double so that times and durations cannot be mixed up by accident.
#pragma once

#include <compare>

namespace vantrel {

struct Timestamp {
    double seconds = 0; // since 2001-01-01 00:00:00 UTC; fractions kept

    // Seconds between 1970-01-01 and 2001-01-01, both UTC.
    static constexpr double unixOffset = 978307200.0;

    static constexpr Timestamp fromUnix(double unixSeconds) { return {unixSeconds - unixOffset}; }
    constexpr double unixSeconds() const { return seconds + unixOffset; }

    // The earliest time Vantrel represents: 0001-01-01 00:00:00 UTC.
    static constexpr Timestamp distantPast() { return {-63114076800.0}; }

    friend constexpr auto operator<=>(Timestamp, Timestamp) = default;
    friend constexpr bool operator==(Timestamp, Timestamp) = default;
    // Seconds from b to a (negative when a is earlier).
    friend constexpr double operator-(Timestamp a, Timestamp b) { return a.seconds - b.seconds; }
    friend constexpr Timestamp operator+(Timestamp t, double s) { return {t.seconds + s}; }
    friend constexpr Timestamp operator-(Timestamp t, double s) { return {t.seconds - s}; }
};

} // namespace vantrel
