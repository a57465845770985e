// The trust score of one USB device (5 to 97, safe/check/danger) with the texts that explain it:
// who made it, what it can do, this computer's history with it. Pure functions.
#pragma once

#include "core/Capability.h"
#include "core/DeviceHistory.h"
#include "core/Timestamp.h"
#include "core/TrustRequest.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct TrustScore {
    enum class Level { safe, check, danger };

    int score = 0;
    Level level = Level::check;
    std::string title;
    std::string summary;
    std::string kind;
    std::vector<std::string> maker;
    std::vector<std::string> access;
    std::vector<std::string> history;
    std::string advice;

    friend bool operator==(const TrustScore&, const TrustScore&) = default;
};

// "safe", "check", "danger".
std::string_view rawValue(TrustScore::Level level);

// The device of a request that scores lowest, with its score; no device for an empty request.
struct RequestScore {
    std::optional<PendingDevice> device;
    TrustScore trust;

    friend bool operator==(const RequestScore&, const RequestScore&) = default;
};

namespace Trust {

// Words in a keyboard's name that say it is a charger or a gadget with no reason to type.
const std::array<std::string_view, 9>& chargerWords();
// Names that say nothing about a device (compared lower-cased and trimmed).
const std::array<std::string_view, 6>& genericNames();

TrustScore score(std::string_view name, std::int64_t vendorID, const std::vector<Capability>& caps,
                 const std::optional<DeviceHistory>& history, Timestamp now);

RequestScore score(const TrustRequest& request, Timestamp now);

// What kind of device it is ("Keyboard", "Drive", ...); `name` is already lower-cased and trimmed.
std::string kind(const std::vector<Capability>& caps, std::string_view name);

// The name to show: the trimmed name, or `kind` when the name is empty, generic or technical.
std::string displayName(std::string_view name, std::string_view kind);

} // namespace Trust
} // namespace vantrel
