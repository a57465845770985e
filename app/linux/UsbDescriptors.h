// What a USB device will claim, read from the raw descriptors it sent (sysfs `descriptors`):
// the class pairs of its interfaces, which a device the kernel holds back shows nowhere else.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel::UsbDescriptors {

// The most of a `descriptors` file read: far beyond any real device's, small enough for a scan.
inline constexpr std::size_t readLimit = std::size_t{64} << 10;

// The distinct (bInterfaceClass, bInterfaceSubClass) pairs of the interface descriptors in
// `bytes`, in the order they first appear. The bytes come from the device: the walk stops at a
// descriptor whose length is below two or runs past the end, and a truncated or short
// interface descriptor is passed over, so any input gives an answer in one linear pass.
std::vector<std::pair<int, int>> interfaceClasses(std::string_view bytes);

} // namespace vantrel::UsbDescriptors
