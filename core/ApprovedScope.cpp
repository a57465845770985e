#include "core/ApprovedScope.h"

#include "core/JSONFields.h"

#include <nlohmann/json.hpp>

namespace vantrel {

std::vector<Capability> ApprovedScope::outOfScope(const std::vector<Capability>& current) const {
    std::vector<Capability> beyond;
    for (Capability c : current) {
        // Stored entries are codes; a label or any other text approves nothing.
        if (caps.find(c.code()) == caps.end()) {
            beyond.push_back(c);
        }
    }
    return beyond;
}

nlohmann::json ApprovedScope::toJSON() const {
    return {{"caps", caps}, {"approvedAt", approvedAt.seconds}};
}

std::optional<ApprovedScope> ApprovedScope::fromJSON(const nlohmann::json& json) {
    auto caps = JSONFields::strings(json, "caps");
    auto approvedAt = JSONFields::timestamp(json, "approvedAt");
    if (!caps || !approvedAt) {
        return std::nullopt;
    }
    return ApprovedScope{{caps->begin(), caps->end()}, *approvedAt};
}

} // namespace vantrel
