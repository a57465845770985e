// A device rule as the USB policy daemon sends it over D-Bus, which carries the device's own
// strings. Properties: a rule read has at most the interfaces allowed, and no string in it is
// longer than the text it came from.
#include "app/linux/DeviceRule.h"
#include "fuzz/FuzzSupport.h"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const auto rule = DeviceRule::parse(input);
    if (!rule) {
        return 0;
    }
    fuzz::require(input.size() <= DeviceRule::lengthLimit, "no rule from oversized text");
    fuzz::require(rule->interfaces.size() <= DeviceRule::interfaceLimit, "interfaces bounded");
    for (const std::string* field : {&rule->serial, &rule->name, &rule->hash, &rule->parentHash,
                                     &rule->viaPort, &rule->connectType, &rule->vendorID}) {
        fuzz::require(field->size() <= input.size(), "a string is no longer than the rule");
    }
    return 0;
}
