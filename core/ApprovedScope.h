// The capabilities the user accepted for one device, and which of a device's current
// capabilities fall outside them.
#pragma once

#include "core/Capability.h"
#include "core/Timestamp.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace vantrel {

struct ApprovedScope {
    std::set<std::string, std::less<>> caps; // capability codes
    Timestamp approvedAt;

    // The members of `current` whose code is not approved, in order, duplicates kept.
    std::vector<Capability> outOfScope(const std::vector<Capability>& current) const;

    friend bool operator==(const ApprovedScope&, const ApprovedScope&) = default;

    // {"caps": [codes], "approvedAt": seconds since 2001}; both members required to decode.
    nlohmann::json toJSON() const;
    static std::optional<ApprovedScope> fromJSON(const nlohmann::json& json);
};

} // namespace vantrel
