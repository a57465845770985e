// What Vantrel remembers of one physical USB device across restarts, and its JSON form:
// {"timesSeen": int, "firstSeen": seconds, "lastSeen": seconds, "lastCaps": [codes]}.
#pragma once

#include "core/Timestamp.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace vantrel {

struct DeviceHistory {
    std::int64_t timesSeen;
    Timestamp firstSeen;
    Timestamp lastSeen;
    std::vector<std::string> lastCaps; // capability codes at the latest sighting, in device order

    friend bool operator==(const DeviceHistory&, const DeviceHistory&) = default;

    nlohmann::json toJSON() const;
    // None when a member is missing or of the wrong type; other members are ignored.
    static std::optional<DeviceHistory> fromJSON(const nlohmann::json& json);
};

// The whole collection, device key to record, as one JSON object.
using DeviceHistories = std::map<std::string, DeviceHistory>;

nlohmann::json historiesToJSON(const DeviceHistories& histories);
// None unless `json` is an object whose every member is a readable record: a partly readable
// document is not salvaged.
std::optional<DeviceHistories> historiesFromJSON(const nlohmann::json& json);

} // namespace vantrel
