// The accessory prompt as Vantrel describes it: the port and the devices waiting behind it,
// each with what it says it is and this computer's history with it.
#pragma once

#include "core/Capability.h"
#include "core/DeviceHistory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct PendingDevice {
    std::string name;       // product name as reported; may be empty
    std::string vendorName; // vendor name as reported; may be empty
    std::int64_t vendorID = 0;
    std::int64_t productID = 0;
    std::vector<Capability> caps;
    std::optional<DeviceHistory> history;

    // "1A86:7523": vendor and product ID, four upper-case hexadecimal digits each.
    std::string idString() const;
    // "{name} ({idString})", with "Unnamed device" for an empty name.
    std::string label() const;

    friend bool operator==(const PendingDevice&, const PendingDevice&) = default;
};

struct TrustRequest {
    std::string portName;
    std::vector<PendingDevice> devices; // empty while the devices have not identified themselves

    friend bool operator==(const TrustRequest&, const TrustRequest&) = default;
};

// "%04X:%04X" of a vendor and a product ID.
std::string usbIDString(std::int64_t vendorID, std::int64_t productID);

} // namespace vantrel
