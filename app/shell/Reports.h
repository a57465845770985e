// The two plain-text reports of the command line: the self-test, which checks that the probes
// and actions Vantrel depends on work here, and the snapshot of what Vantrel sees right now.
// Neither changes the machine or keeps anything.
#pragma once

#include "app/engine/Devices.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

namespace Reports {
// `text` as it may stand inside one line of a report: ill-formed UTF-8 and every control
// character (C0, DEL, C1, and the line and paragraph separators) replaced by U+FFFD, so that a
// name a device gives can neither start a line of its own nor steer the terminal.
std::string printable(std::string_view text);
} // namespace Reports

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
