// The fixed table of USB makers Vantrel knows: who they are, whether their parts are found in
// programmable gadgets, and a one-sentence description for the trust details.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel {

struct VendorInfo {
    std::string name;
    bool programmable = false;

    // Do-it-yourself hardware: the same as `programmable`.
    bool diy() const { return programmable; }

    friend bool operator==(const VendorInfo&, const VendorInfo&) = default;
};

namespace Vendors {

// The entry for exactly this vendor ID (not masked to 16 bits), or none.
std::optional<VendorInfo> lookup(std::int64_t vendorID);

// The maker's one-sentence description, or none (always none for 0x05AC).
std::optional<std::string> about(std::int64_t vendorID);

} // namespace Vendors
} // namespace vantrel
