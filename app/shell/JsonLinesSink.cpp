#include "app/shell/JsonLinesSink.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>

#include <nlohmann/json.hpp>

namespace vantrel {

void JsonLinesSink::record(const Event& event, const std::optional<EventDevice>& /*device*/) {
    out_ << line(event) << '\n' << std::flush;
}

std::string JsonLinesSink::line(const Event& event) {
    nlohmann::ordered_json object;
    object["date"] = isoDate(event.date);
    object["level"] = rawValue(event.level);
    object["text"] = event.text;
    object["id"] = event.id;
    // Control characters (a newline in a device's name) are escaped; bytes that are not UTF-8
    // become U+FFFD rather than ending the program.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string JsonLinesSink::isoDate(Timestamp date) {
    const double unix = date.unixSeconds();
    const double whole = std::floor(unix);
    auto millis = static_cast<int>(std::floor((unix - whole) * 1000.0));
    millis = millis > 999 ? 999 : millis;
    const auto seconds = static_cast<std::time_t>(whole);
    std::tm utc{};
    if (::gmtime_r(&seconds, &utc) == nullptr) {
        return "1970-01-01T00:00:00.000Z";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

} // namespace vantrel
