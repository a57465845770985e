// The raw descriptors a USB device sent, as sysfs `descriptors` holds them. Properties: every
// interface class pair found is distinct, and there are no more of them than interface records
// the bytes could hold.
#include "app/linux/UsbDescriptors.h"
#include "fuzz/FuzzSupport.h"

#include <set>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const auto pairs = UsbDescriptors::interfaceClasses(input);
    const std::set<std::pair<int, int>> distinct(pairs.begin(), pairs.end());
    fuzz::require(distinct.size() == pairs.size(), "each class pair is listed once");
    fuzz::require(pairs.size() <= size / 9, "no more pairs than interface records fit");
    for (const auto& [cls, subclass] : pairs) {
        fuzz::require(cls >= 0 && cls <= 255 && subclass >= 0 && subclass <= 255,
                      "a class pair is two bytes");
    }
    return 0;
}
