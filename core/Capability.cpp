#include "core/Capability.h"

#include "core/PlatformText.h"

#include <string>

namespace vantrel {
namespace {

struct Texts {
    std::string_view code;
    std::string_view rawValue;
    std::string plain;
    std::string_view plainShort;
    std::string grants;
};

const std::array<Texts, Capability::count>& table() {
    using PlatformText::words;
    static const std::array<Texts, Capability::count> texts{{
        {"input", "Keyboard/mouse", "Type and click as if it were you.", "type and click",
         "Type keystrokes and move the pointer as if it were you."},
        {"network", "Network", "Act as an internet connection.", "act as an internet connection",
         "Act as a network connection, which can carry or redirect your traffic."},
        {"serial", "Serial port", "Open a hidden data line that apps can use without asking you.",
         "open a hidden data line",
         "Open a serial line that apps can read and write without any privacy prompt."},
        {"audio", "Audio/mic", "Use a microphone or speakers.", "use a microphone",
         "Record or play audio."},
        {"camera", "Camera", "Act as a camera.", "act as a camera", "Provide a camera feed."},
        {"firmware", "Firmware update", "Accept updates that change what it does.",
         "accept updates", "Accept a firmware update, which can change what the device does."},
        {"storage", "Storage", "Show up as a drive that holds files.", "act as a drive",
         "Show up as a disk that can hold or receive files."},
        {"printer", "Printer", "Receive things to print.", "print", "Receive print jobs."},
        {"vendor", "Vendor-specific", "Talk to its own app.", "talk to its own app",
         "Talk to apps using its own private protocol."},
        {"display", "Display", words("Carry video only. Nothing comes into your {machine}."),
         "carry video",
         words("Describe a video connection. This carries no data into your {machine}.")},
        {"hub", "Hub", "Let more devices connect through it.", "connect more devices",
         words("Connect more devices behind it. {os} will not ask about those.")},
    }};
    return texts;
}

} // namespace

const std::array<Capability, Capability::count>& Capability::allCases() {
    static constexpr std::array<Capability, count> cases{
        input, network, serial, audio, camera, firmware, storage, printer, vendor, display, hub};
    return cases;
}

std::string_view Capability::code() const {
    return table()[value_].code;
}
std::string_view Capability::rawValue() const {
    return table()[value_].rawValue;
}
std::string_view Capability::plain() const {
    return table()[value_].plain;
}
std::string_view Capability::plainShort() const {
    return table()[value_].plainShort;
}
std::string_view Capability::grants() const {
    return table()[value_].grants;
}

std::optional<Capability> Capability::from(std::string_view code) {
    for (Capability c : allCases()) {
        if (c.code() == code) {
            return c;
        }
    }
    return std::nullopt;
}

std::optional<Capability> Capability::fromRawValue(std::string_view label) {
    for (Capability c : allCases()) {
        if (c.rawValue() == label) {
            return c;
        }
    }
    return std::nullopt;
}

std::string Capability::code(std::string_view saved) {
    if (auto c = fromRawValue(saved)) {
        return std::string(c->code());
    }
    // An older combined label, stored before network and serial lines were told apart.
    if (saved == "Network/serial") {
        return "network";
    }
    return std::string(saved);
}

std::optional<Capability> Capability::from(int usbClass, int subclass) {
    switch (usbClass) {
    case 0x01:
        return audio;
    case 0x02:
        // Communications: the Abstract Control Model is a serial line, the rest are networks.
        return subclass == 0x02 ? serial : network;
    case 0x03:
        return input;
    case 0x06:
    case 0x0E:
        return camera;
    case 0x07:
        return printer;
    case 0x08:
        return storage;
    case 0x09:
        return hub;
    case 0x11:
        return display;
    case 0xE0:
        return network;
    case 0xFE:
        return firmware;
    case 0xFF:
        return vendor;
    default:
        return std::nullopt;
    }
}

} // namespace vantrel
