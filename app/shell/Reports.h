// The two plain-text reports of the command line: the self-test, which checks that the probes
// and actions Vantrel depends on work here, and the snapshot of what Vantrel sees right now.
// Neither changes the machine or keeps anything.
#pragma once

#include "app/engine/Devices.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

namespace SelfTest {
// What the self-test found of the daemon that holds new devices back (the desktop shell asks it
// over D-Bus): it answers and holds new devices back, or why not.
enum class Policy { answers, notInstalled, noBridge, letsNewDevicesIn, needsPassword, notAllowed };
// Prints one "{PASS|FAIL}  {check}: {detail}" line per check, in a fixed order; the device
// policy line last, when `policy` is given.
void run(std::ostream& out, std::optional<Policy> policy = std::nullopt);
} // namespace SelfTest

namespace Snapshot {
// The report for the devices, input devices and ports given.
std::string text(const std::vector<USBDevice>& usb, const std::vector<InputDevice>& inputs,
                 const std::vector<PortInfo>& ports);
// Scans the machine and writes the report to `out`.
void print(std::ostream& out);
} // namespace Snapshot

} // namespace vantrel
