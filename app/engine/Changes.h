// What part of the Monitor's published state a change touched, so that each observer redoes only
// what depends on it.
#pragma once

#include <cstdint>

namespace vantrel {

struct Changes {
    enum Part : std::uint16_t {
        usb = 1 << 0,        // the USB devices, or what their scores are made of
        inputs = 1 << 1,     // the input devices
        ports = 1 << 2,      // the ports
        network = 1 << 3,    // the network interfaces and settings
        activity = 1 << 4,   // what each device is doing
        outOfScope = 1 << 5, // the devices out of scope
        events = 1 << 6,     // the event log, its review marks included
        request = 1 << 7,    // the open prompt and its advice
        switches = 1 << 8,   // auto-pause, the keystroke guard, the layout, the lock hold
        policy = 1 << 9,     // whether a policy engine answers, and whether it holds while locked
    };
    std::uint16_t parts = 0;

    static constexpr Changes all() { return {0x3ff}; }
    // The parts given, together.
    template <typename... Parts> static constexpr Changes of(Parts... parts) {
        return {static_cast<std::uint16_t>((0 | ... | parts))};
    }
    constexpr bool any() const { return parts != 0; }
    constexpr bool has(Part part) const { return (parts & part) != 0; }
    // Whether any of the parts of `other` is among these.
    constexpr bool touches(Changes other) const { return (parts & other.parts) != 0; }
    void add(Part part) { parts = static_cast<std::uint16_t>(parts | part); }
    void add(Changes other) { parts = static_cast<std::uint16_t>(parts | other.parts); }
    friend bool operator==(const Changes&, const Changes&) = default;
};

} // namespace vantrel
