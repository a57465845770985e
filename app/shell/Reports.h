// The two plain-text reports of the command line: the self-test, which checks that the probes
// and actions Vantrel depends on work here, and the snapshot of what Vantrel sees right now.
// Neither changes the machine or keeps anything.
#pragma once

#include "app/engine/Devices.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel {

namespace SelfTest {
// Prints one "{PASS|FAIL}  {check}: {detail}" line per check, in a fixed order.
void run(std::ostream& out);
} // namespace SelfTest

namespace Snapshot {
// The report for the devices, input devices and ports given.
std::string text(const std::vector<USBDevice>& usb, const std::vector<InputDevice>& inputs,
                 const std::vector<PortInfo>& ports);
// Scans the machine and writes the report to `out`.
void print(std::ostream& out);
} // namespace Snapshot

} // namespace vantrel
