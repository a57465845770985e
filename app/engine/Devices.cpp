#include "app/engine/Devices.h"

#include "core/TrustRequest.h"

#include <cstdio>

namespace vantrel {

std::string USBDevice::label() const {
    return name + " (" + usbIDString(vendorID, productID) + ")";
}

std::string USBDevice::capsText() const {
    if (caps.empty()) {
        return "none reported";
    }
    std::string text;
    for (Capability c : caps) {
        if (!text.empty()) {
            text += ", ";
        }
        text += c.rawValue();
    }
    return text;
}

std::string USBDevice::key() const {
    char ids[40];
    std::snprintf(ids, sizeof ids, "%04x:%04x:", static_cast<unsigned>(vendorID),
                  static_cast<unsigned>(productID));
    return ids + serial;
}

std::vector<std::string> USBDevice::codes() const {
    std::vector<std::string> result;
    result.reserve(caps.size());
    for (Capability c : caps) {
        result.emplace_back(c.code());
    }
    return result;
}

std::string InputDevice::key() const {
    return transport + "|" + std::to_string(vendorID) + "|" + std::to_string(productID) + "|" +
           name;
}

} // namespace vantrel
