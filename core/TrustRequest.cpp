#include "core/TrustRequest.h"

#include <cstdio>

namespace vantrel {

std::string usbIDString(std::int64_t vendorID, std::int64_t productID) {
    char text[40];
    // IDs are 16-bit on the wire; anything else is shown as its 32-bit pattern, never cut short.
    std::snprintf(text, sizeof text, "%04X:%04X", static_cast<unsigned>(vendorID),
                  static_cast<unsigned>(productID));
    return text;
}

std::string PendingDevice::idString() const {
    return usbIDString(vendorID, productID);
}

std::string PendingDevice::label() const {
    return (name.empty() ? std::string("Unnamed device") : name) + " (" + idString() + ")";
}

} // namespace vantrel
