// The self-test report: each probe and action Vantrel relies on, tried here without changing
// anything (no tool that acts is run, no watcher is started), one PASS or FAIL line per check.
#include "app/engine/Displayed.h"
#include "app/engine/Seams.h"
#include "app/linux/Actions.h"
#include "app/linux/KeystrokeGuard.h"
#include "app/linux/Scanner.h"
#include "app/shell/Reports.h"
#include "app/shell/SystemClock.h"
#include "core/Displayable.h"
#include "core/PlatformText.h"

#include <ostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace vantrel::SelfTest {
namespace {

void line(std::ostream& out, bool passed, std::string_view check, std::string_view detail) {
    out << (passed ? "PASS" : "FAIL") << "  " << check << ": " << detail << '\n';
}

// `parts`, each displayable already, joined with ", ", or `none` when there are none.
std::string listed(const std::vector<std::string>& parts, std::string_view none) {
    if (parts.empty()) {
        return std::string(none);
    }
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

std::string_view policyDetail(Policy policy) {
    switch (policy) {
    case Policy::answers:
        return "USBGuard answers; new devices are held back";
    case Policy::notInstalled:
        return "USBGuard is not installed";
    case Policy::noBridge:
        return "USBGuard\u2019s D-Bus bridge (usbguard-dbus) is not running";
    case Policy::letsNewDevicesIn:
        return "USBGuard lets new devices in (its ImplicitPolicyTarget is allow)";
    case Policy::needsPassword:
        return "letting a device in asks for an administrator password here";
    case Policy::notAllowed:
        return "you are not allowed to let devices in on this computer";
    }
    return {};
}

} // namespace

void run(std::ostream& out, std::optional<Policy> policy) {
    line(out, Actions::lockScreenAvailable(), "lock screen available",
         std::string(PlatformText::lockCommand) + " resolved (not called)");

    for (const USBDevice& device : Scanner::usbDevices()) {
        for (const std::string& name : device.netNames) {
            const std::string check = "network service for " + displayable(name);
            if (const auto service = Actions::serviceName(name)) {
                line(out, true, check,
                     "\u201C" + displayable(*service) +
                         "\u201D (would be paused with an admin prompt)");
            } else {
                line(out, false, check, "not found");
            }
        }
    }

    const auto disk = Actions::systemDisk();
    const std::size_t volumes = disk ? Actions::mountedVolumes(*disk).size() : 0;
    line(out, volumes > 0, "mounted volumes readable",
         (disk ? displayable(*disk) : std::string(PlatformText::rootDiskFallback)) + " has " +
             std::to_string(volumes) + " volumes");

    const std::string serialPort(PlatformText::builtInSerialPort);
    // Only root may read the open files of another user's processes; the headless service, as
    // its own user, sees only its own.
    line(out, true, "serial port users readable",
         std::string(PlatformText::processScan) + " ran; " +
             std::to_string(Actions::serialUsers(serialPort).size()) + " users of " + serialPort +
             (::geteuid() == 0 ? "; every user's processes are seen"
                               : "; other users' open files cannot be seen here, so a serial "
                                 "port another user holds open goes unnoticed"));

    const SystemClock clock;
    KeystrokeGuard guard(clock);
    line(out, true, "input monitoring permission",
         guard.checkAccess() ? "granted" : "not granted (keystroke guard off)");

    std::vector<std::string> prompts;
    for (const PortInfo& port : Scanner::ports()) {
        if (port.pending) {
            prompts.push_back(displayable(port.name));
        }
    }
    line(out, true, "trust prompt detection",
         prompts.empty() ? "no prompt showing now" : "prompt showing on " + listed(prompts, ""));

    std::vector<std::string> waiting;
    for (const USBDevice& device : Scanner::usbDevices()) {
        if (device.blocked) {
            waiting.push_back(displayed(device).label());
        }
    }
    line(out, true, "blocked device detection", listed(waiting, "no devices waiting for approval"));
    if (policy) {
        line(out, *policy == Policy::answers, "device policy", policyDetail(*policy));
    }
    out << std::flush;
}

} // namespace vantrel::SelfTest
