#include "app/engine/Event.h"

#include "core/JSONFields.h"

#include <array>
#include <cstdint>
#include <random>

#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

constexpr std::size_t uuidLength = 36;

bool isHyphenPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

// ASCII only, whatever the process's locale.
bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// `text` in upper case when it is an 8-4-4-4-12 UUID in either letter case; none otherwise.
std::optional<std::string> canonicalUUID(const std::string& text) {
    if (text.size() != uuidLength) {
        return std::nullopt;
    }
    std::string result = text;
    for (std::size_t i = 0; i < result.size(); ++i) {
        char& c = result[i];
        if (isHyphenPosition(i) ? c != '-' : !isHexDigit(c)) {
            return std::nullopt;
        }
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<Event::Level> levelFromRaw(const nlohmann::json* value) {
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    for (const auto level : {Event::Level::info, Event::Level::warning}) {
        if (value->get_ref<const std::string&>() == rawValue(level)) {
            return level;
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view rawValue(Event::Level level) {
    switch (level) {
    case Event::Level::info:
        return "info";
    case Event::Level::warning:
        return "warning";
    }
    return "info";
}

nlohmann::json Event::toJSON() const {
    return {{"id", id},
            {"date", date.seconds},
            {"level", rawValue(level)},
            {"text", text},
            {"reviewed", reviewed}};
}

std::optional<Event> Event::fromJSON(const nlohmann::json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto* id = member(json, "id");
    const auto date = JSONFields::timestamp(json, "date");
    const auto level = levelFromRaw(member(json, "level"));
    const auto* text = member(json, "text");
    const auto* reviewed = member(json, "reviewed");
    if (id == nullptr || !id->is_string() || !date || !level || text == nullptr ||
        !text->is_string() || reviewed == nullptr || !reviewed->is_boolean()) {
        return std::nullopt;
    }
    auto canonical = canonicalUUID(id->get_ref<const std::string&>());
    if (!canonical) {
        return std::nullopt;
    }
    return Event{std::move(*canonical), *date, *level, text->get<std::string>(),
                 reviewed->get<bool>()};
}

std::string newUUID() {
    // One engine per thread, seeded from the system's entropy source.
    thread_local std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(),
                           device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        const std::uint64_t word = engine();
        for (std::size_t j = 0; j < 8; ++j) {
            bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(uuidLength);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace vantrel
