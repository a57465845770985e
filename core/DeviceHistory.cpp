#include "core/DeviceHistory.h"

#include "core/JSONFields.h"

#include <algorithm>
#include <tuple>

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

std::size_t storedSize(const std::string& key, const DeviceHistory* history,
                       const std::vector<std::string>* scope) {
    constexpr auto replace = nlohmann::json::error_handler_t::replace;
    const std::size_t name = nlohmann::json(key).dump(-1, ' ', false, replace).size();
    // Indents and line ends: at most 16 bytes a line, a line for each member and code.
    std::size_t size = 0;
    if (history != nullptr) {
        size += name + history->toJSON().dump(-1, ' ', false, replace).size() +
                16 * (history->lastCaps.size() + 8);
    }
    if (scope != nullptr) {
        size += name + nlohmann::json(*scope).dump(-1, ' ', false, replace).size() +
                16 * (scope->size() + 2);
    }
    return size;
}

std::vector<std::string>
devicesToDrop(const DeviceHistories& histories,
              const std::map<std::string, std::vector<std::string>>& approved, std::size_t limit,
              std::size_t budget) {
    const auto scopeOf = [&](const std::string& key) {
        const auto it = approved.find(key);
        return it == approved.end() ? nullptr : &it->second;
    };
    std::size_t recorded = histories.size();
    std::size_t scoped = approved.size();
    std::size_t bytes = 0;
    std::vector<std::tuple<Timestamp, const std::string*, std::size_t>> once;
    for (const auto& [key, history] : histories) {
        const std::size_t size = storedSize(key, &history, scopeOf(key));
        bytes += size;
        if (history.timesSeen <= 1) {
            once.emplace_back(history.lastSeen, &key, size);
        }
    }
    for (const auto& [key, scope] : approved) {
        if (!histories.contains(key)) {
            bytes += storedSize(key, nullptr, &scope);
        }
    }
    std::vector<std::string> dropped;
    const auto within = [&] { return recorded <= limit && scoped <= limit && bytes <= budget; };
    if (within()) {
        return dropped;
    }
    std::sort(once.begin(), once.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), *std::get<1>(a)) <
               std::tie(std::get<0>(b), *std::get<1>(b));
    });
    for (const auto& [seen, key, size] : once) {
        const bool hasScope = approved.contains(*key);
        // Only a device that brings an overfull collection down is dropped.
        if (recorded > limit || bytes > budget || (scoped > limit && hasScope)) {
            dropped.push_back(*key);
            --recorded;
            scoped -= hasScope ? 1 : 0;
            bytes -= size;
        }
        if (within()) {
            break;
        }
    }
    return dropped;
}

} // namespace vantrel
