// The texts of the window that are pure functions of the Monitor's records: a device's symbol
// name, the port and network detail lines, the device key and the counted headings.
#pragma once

#include "app/engine/Devices.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::ui {

// The symbol of a device by what it claims: input first, then serial, network, camera, audio,
// storage, display, firmware; the generic connector otherwise.
std::string symbol(const USBDevice& device);

// "Empty" or the authorisation in words, then "1 device attached" or "{n} devices attached",
// joined by " · ".
// A connected port without an authorisation text gives only the count part; an authorisation
// other than "Authorized", "Not Required" and "No Action" is shown as it is.
std::string portDetail(const PortInfo& port);

// "{address} · ↓ {in}/s ↑ {out}/s · total ↓ {inBytes} ↑ {outBytes}", in decimal file-size units:
// the first IPv4 address or "No address", the rates truncated to whole bytes. A rate that is not
// a number reads 0 bytes; rates and counters beyond the 64-bit range are held at its end.
std::string networkDetail(const NetInterface& net);

// "{vendor id}:{product id}:{serial}", the ids as four lower-case hexadecimal digits: the key
// the Monitor files a device's approved and out-of-scope functions under.
std::string deviceKey(const USBDevice& device);

// "{n} {noun}" with an "s" unless n is exactly 1 ("1 device", "2 devices", "0 devices").
std::string counted(std::size_t n, const std::string& noun);

// Hub depth of a device: the non-zero hexadecimal digits of the low 24 bits of locationID, one
// per hub port on its path (1 on a root port, 0 for a location without any).
int hubDepth(std::int64_t locationID);

} // namespace vantrel::ui
