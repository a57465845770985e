#include "core/JSONFields.h"

#include <cmath>

namespace vantrel::JSONFields {
namespace {

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) {
        return nullptr;
    }
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

} // namespace

std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->is_number_integer()) {
        if (value->is_number_unsigned() &&
            value->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            return std::nullopt;
        }
        return value->get<std::int64_t>();
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        // 2^63 is the first double beyond the 64-bit range.
        if (std::isfinite(d) && d == std::trunc(d) && d >= -9223372036854775808.0 &&
            d < 9223372036854775808.0) {
            return static_cast<std::int64_t>(d);
        }
    }
    return std::nullopt;
}

std::optional<Timestamp> timestamp(const nlohmann::json& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr || !value->is_number()) {
        return std::nullopt;
    }
    const double seconds = value->get<double>();
    if (!std::isfinite(seconds)) {
        return std::nullopt;
    }
    return Timestamp{seconds};
}

std::optional<std::vector<std::string>> strings(const nlohmann::json& object,
                                                std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr || !value->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> result;
    result.reserve(value->size());
    for (const auto& element : *value) {
        if (!element.is_string()) {
            return std::nullopt;
        }
        result.push_back(element.get<std::string>());
    }
    return result;
}

} // namespace vantrel::JSONFields
