#include "app/linux/UsbDescriptors.h"

namespace vantrel::UsbDescriptors {
namespace {

constexpr unsigned char interfaceType = 4;
// bInterfaceClass and bInterfaceSubClass sit at offsets 5 and 6 of the 9-byte record.
constexpr std::size_t interfaceLength = 9;

} // namespace

std::vector<std::pair<int, int>> interfaceClasses(std::string_view bytes) {
    std::vector<std::pair<int, int>> pairs;
    std::vector<bool> seen(256 * 256);
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    for (std::size_t at = 0; at + 2 <= bytes.size();) {
        const std::size_t length = byte(at);
        if (length < 2 || length > bytes.size() - at) {
            break;
        }
        if (byte(at + 1) == interfaceType && length >= interfaceLength) {
            const int cls = byte(at + 5);
            const int subclass = byte(at + 6);
            if (!seen[static_cast<std::size_t>(cls * 256 + subclass)]) {
                seen[static_cast<std::size_t>(cls * 256 + subclass)] = true;
                pairs.emplace_back(cls, subclass);
            }
        }
        at += length;
    }
    return pairs;
}

} // namespace vantrel::UsbDescriptors
