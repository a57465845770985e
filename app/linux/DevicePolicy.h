// What Vantrel asks of the daemon that holds new USB devices back by policy. The provider that
// talks to it over D-Bus lives with the desktop providers; the machine only sees this.
#pragma once

#include <set>
#include <string>

namespace vantrel {

class DevicePolicy {
  public:
    virtual ~DevicePolicy() = default;

    // Whether the daemon answers now. Main thread; cheap (kept up to date from the bus).
    virtual bool answers() = 0;
    // The kernel names (1-1.4) of the devices an explicit rule of the policy holds back: the
    // administrator's decision. Main thread; cheap.
    virtual std::set<std::string> heldByRule() = 0;
    // Lets the device of kernel name `device` in, with `permanent` also the next time it is
    // plugged in. Any thread; waits at most 30 s; false when refused, unknown or unanswered.
    virtual bool allow(const std::string& device, bool permanent) = 0;

    // "Hold new devices while locked": whether this user may turn it on without a password
    // prompt, turning it on or off, and whether new devices are being held because the
    // session is locked. Main thread; cheap.
    virtual bool mayHoldWhileLocked() = 0;
    virtual void holdWhileLocked(bool on) = 0;
    virtual bool holdingWhileLocked() = 0;
};

} // namespace vantrel
