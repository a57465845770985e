#include "core/Vendors.h"

#include <unordered_map>

namespace vantrel::Vendors {
namespace {

const std::unordered_map<std::int64_t, VendorInfo>& infos() {
    static const std::unordered_map<std::int64_t, VendorInfo> table{
        {0x05AC, {"Apple", false}},
        {0x2109, {"VIA Labs (USB hub chips)", false}},
        {0x0BDA, {"Realtek", false}},
        {0x05E3, {"Genesys Logic (hub and card-reader chips)", false}},
        {0x1A40, {"Terminus Technology (hub chips)", false}},
        {0x2188, {"CalDigit", false}},
        {0x291A, {"Anker", false}},
        {0x050D, {"Belkin", false}},
        {0x046D, {"Logitech", false}},
        {0x045E, {"Microsoft", false}},
        {0x413C, {"Dell", false}},
        {0x17EF, {"Lenovo", false}},
        {0x04E8, {"Samsung", false}},
        {0x18D1, {"Google", false}},
        {0x0781, {"SanDisk", false}},
        {0x0951, {"Kingston", false}},
        {0x1532, {"Razer", false}},
        {0x1B1C, {"Corsair", false}},
        {0x0FD9, {"Elgato", false}},
        {0x1A86, {"QinHeng (CH34x USB-serial chips)", true}},
        {0x10C4, {"Silicon Labs (USB-serial chips)", true}},
        {0x0403, {"FTDI (USB-serial chips)", true}},
        {0x16C0,
         {"Shared hobbyist vendor ID / Hobby microcontroller boards (programmable boards)", true}},
        {0x2341, {"Arduino", true}},
        {0x2E8A, {"Raspberry Pi (RP2040 microcontroller)", true}},
        {0x303A, {"Espressif (ESP32 microcontroller)", true}},
        {0x239A, {"Adafruit (programmable boards)", true}},
        {0x04D8, {"Microchip", true}},
        {0x0483, {"STMicroelectronics", true}},
        {0x1209, {"Open product-ID registry (open-source hardware)", true}},
    };
    return table;
}

const std::unordered_map<std::int64_t, std::string>& abouts() {
    static const std::unordered_map<std::int64_t, std::string> table{
        {0x2109, "VIA Labs, a large maker of the chips inside USB-C hubs and docks."},
        {0x0BDA, "Realtek, a large maker of network and audio chips used by many brands."},
        {0x05E3, "Genesys Logic, a large maker of hub and card-reader chips."},
        {0x1A40, "Terminus, a maker of low-cost hub chips."},
        {0x2188, "CalDigit, a well-known dock maker."},
        {0x291A, "Anker, a well-known charger and accessory brand."},
        {0x050D, "Belkin, a well-known accessory brand."},
        {0x046D, "Logitech, a well-known keyboard and mouse maker."},
        {0x045E, "Microsoft."},
        {0x413C, "Dell."},
        {0x17EF, "Lenovo."},
        {0x04E8, "Samsung."},
        {0x18D1, "Google."},
        {0x0781, "SanDisk, a well-known drive maker."},
        {0x0951, "Kingston, a well-known drive maker."},
        {0x1532, "Razer, a well-known gaming accessory maker."},
        {0x1B1C, "Corsair, a well-known gaming accessory maker."},
        {0x0FD9, "Elgato, a well-known camera and capture maker."},
        {0x1A86, "QinHeng, whose low-cost chips turn up in cheap cables and in do-it-yourself "
                 "gadgets that pretend to be keyboards."},
        {0x10C4,
         "Silicon Labs, whose chips turn up in hobby electronics as well as real products."},
        {0x0403, "FTDI, whose chips turn up in hobby electronics as well as real products."},
        {0x16C0, "A maker of hobby boards that can be set up to act like any device."},
        {0x2341, "Arduino, a maker of hobby boards that can be set up to act like any device."},
        {0x2E8A, "Raspberry Pi, whose small boards can be set up to act like any device."},
        {0x303A, "Espressif, whose small boards can be set up to act like any device."},
        {0x239A, "Adafruit, a maker of hobby boards that can be set up to act like any device."},
        {0x04D8, "Microchip, whose chips turn up in hobby electronics as well as real products."},
        {0x0483, "STMicroelectronics, whose chips turn up in hobby electronics as well as real "
                 "products."},
        {0x1209, "An open-source hardware project. Anyone can build a device under this name."},
    };
    return table;
}

} // namespace

std::optional<VendorInfo> lookup(std::int64_t vendorID) {
    const auto& table = infos();
    if (auto it = table.find(vendorID); it != table.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<std::string> about(std::int64_t vendorID) {
    const auto& table = abouts();
    if (auto it = table.find(vendorID); it != table.end()) {
        return it->second;
    }
    return std::nullopt;
}

} // namespace vantrel::Vendors
