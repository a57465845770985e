// One entry of the event log: a dated sentence with a level, and whether the user reviewed it.
// Stored as {"id": UUID, "date": seconds since 2001, "level": ..., "text": ..., "reviewed": ...}.
#pragma once

#include "core/Timestamp.h"

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace vantrel {

struct Event {
    enum class Level { info, warning };

    std::string id; // canonical upper-case UUID, 8-4-4-4-12
    Timestamp date;
    Level level = Level::info;
    std::string text;
    bool reviewed = false;

    friend bool operator==(const Event&, const Event&) = default;

    nlohmann::json toJSON() const;
    // None unless all five members are present with their types and the id is a UUID (read in
    // either letter case, kept in upper case).
    static std::optional<Event> fromJSON(const nlohmann::json& json);
};

// "info", "warning".
std::string_view rawValue(Event::Level level);

// A new random (version 4) UUID in canonical upper-case form.
std::string newUUID();

} // namespace vantrel
