#include "core/DeviceHistory.h"

#include "core/JSONFields.h"

#include <nlohmann/json.hpp>

namespace vantrel {

nlohmann::json DeviceHistory::toJSON() const {
    return {{"timesSeen", timesSeen},
            {"firstSeen", firstSeen.seconds},
            {"lastSeen", lastSeen.seconds},
            {"lastCaps", lastCaps}};
}

std::optional<DeviceHistory> DeviceHistory::fromJSON(const nlohmann::json& json) {
    auto timesSeen = JSONFields::integer(json, "timesSeen");
    auto firstSeen = JSONFields::timestamp(json, "firstSeen");
    auto lastSeen = JSONFields::timestamp(json, "lastSeen");
    auto lastCaps = JSONFields::strings(json, "lastCaps");
    if (!timesSeen || !firstSeen || !lastSeen || !lastCaps) {
        return std::nullopt;
    }
    return DeviceHistory{*timesSeen, *firstSeen, *lastSeen, std::move(*lastCaps)};
}

nlohmann::json historiesToJSON(const DeviceHistories& histories) {
    auto object = nlohmann::json::object();
    for (const auto& [key, history] : histories) {
        object[key] = history.toJSON();
    }
    return object;
}

std::optional<DeviceHistories> historiesFromJSON(const nlohmann::json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    DeviceHistories histories;
    for (const auto& [key, value] : json.items()) {
        auto history = DeviceHistory::fromJSON(value);
        if (!history) {
            return std::nullopt;
        }
        histories.emplace(key, std::move(*history));
    }
    return histories;
}

} // namespace vantrel
