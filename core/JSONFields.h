// Strict readers for members of stored JSON objects: a member that is missing or of the wrong
// type gives none, so that a damaged record is refused as a whole rather than half read.
#pragma once

#include "core/Timestamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantrel::JSONFields {

// A number with no fractional part that fits in 64 bits (3 and 3.0 both read 3).
std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key);
// Any finite number, as seconds since 2001-01-01 00:00:00 UTC.
std::optional<Timestamp> timestamp(const nlohmann::json& object, std::string_view key);
// An array whose every element is a string.
std::optional<std::vector<std::string>> strings(const nlohmann::json& object, std::string_view key);

} // namespace vantrel::JSONFields
