// What Vantrel remembers of one physical USB device across restarts, and its JSON form:
// {"timesSeen": int, "firstSeen": seconds, "lastSeen": seconds, "lastCaps": [codes]}.
#pragma once

#include "core/Timestamp.h"

#include <cstddef>
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

// The most devices the history, and the approved scopes beside it, hold each, and the most
// bytes the two may take in the settings file together (as estimated by storedSize), so that a
// device's choice of long serial numbers cannot make that file too large to read back.
inline constexpr std::size_t maxStoredDevices = 1000;
inline constexpr std::size_t maxStoredBytes = std::size_t{512} << 10;

// About the bytes one device takes in the settings file, written with indents: its key and
// `history` under deviceHistory, its key and `scope` under knownUSB; either may be absent.
std::size_t storedSize(const std::string& key, const DeviceHistory* history,
                       const std::vector<std::string>* scope);

// The devices to drop from `histories` and `approved` (device key to approved codes) alike so
// that each holds at most `limit` and both take at most `budget` bytes, in the order they go:
// devices seen once by their record, the one seen longest ago first. A device seen more than
// once is never dropped, nor an approved one without a record, whose sightings are unknown:
// through them the collections may stay past the bounds.
std::vector<std::string>
devicesToDrop(const DeviceHistories& histories,
              const std::map<std::string, std::vector<std::string>>& approved,
              std::size_t limit = maxStoredDevices, std::size_t budget = maxStoredBytes);

} // namespace vantrel
