// What a USB device can claim to do (type, network, serial line, ...), with the texts shown for
// each and the mapping from USB class codes. The `code` is the stored form everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class Capability {
  public:
    // Declaration order is part of the contract: scanners list capabilities in this order.
    enum Value : std::uint8_t {
        input,
        network,
        serial,
        audio,
        camera,
        firmware,
        storage,
        printer,
        vendor,
        display,
        hub,
    };
    static constexpr std::size_t count = 11;

    constexpr Capability(Value v) : value_(v) {}
    constexpr Value value() const { return value_; }

    static const std::array<Capability, count>& allCases();

    // Stable machine form: "input", "network", ...
    std::string_view code() const;
    // Short display label, the enumeration's raw value: "Keyboard/mouse", "Serial port", ...
    std::string_view rawValue() const;
    // A full sentence for non-technical readers.
    std::string_view plain() const;
    // A lower-case verb phrase without a full stop, to follow "now says it can".
    std::string_view plainShort() const;
    // What allowing the device grants, as a sentence.
    std::string_view grants() const;
    // The first six cases: functions that can act on the machine or its data.
    constexpr bool risky() const { return value_ < storage; }

    // The case whose code is exactly `code`.
    static std::optional<Capability> from(std::string_view code);
    // The case whose label is exactly `label` (case-sensitive).
    static std::optional<Capability> fromRawValue(std::string_view label);
    // One entry of a stored capability list normalised to a code: labels become codes,
    // "Network/serial" becomes "network", anything else comes back unchanged.
    static std::string code(std::string_view saved);
    // The capability a USB (base class, subclass) pair stands for, if any.
    static std::optional<Capability> from(int usbClass, int subclass);

    friend constexpr bool operator==(Capability, Capability) = default;
    friend constexpr bool operator==(Capability a, Value b) { return a.value_ == b; }

  private:
    Value value_;
};

} // namespace vantrel

template <> struct std::hash<vantrel::Capability> {
    std::size_t operator()(vantrel::Capability c) const noexcept { return c.value(); }
};
