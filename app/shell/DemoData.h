// The fixed sample data of demo windows: what the demo Monitor shows and the two sample
// accessory prompts, every date relative to one reference moment, so every run looks the same.
#pragma once

#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "core/TrustRequest.h"

namespace vantrel::DemoData {

// 8 October 2026, 10:24:00 in the user's time zone (the current time should that moment not be
// representable there).
Timestamp referenceMoment();

// The demo Monitor's published state: five USB devices behind a hub, four input devices,
// three ports, two network interfaces, the history of three devices, and four events.
Monitor::DemoState state(Timestamp reference);

// A prompt on "USB-C port 1" for one device: a pair of earphones seen 41 times (safe) or a
// "charger" never seen before that claims nothing yet (not safe).
TrustRequest request(bool safe, Timestamp reference);

// A demo Monitor showing `state(reference)`, its clock fixed at `reference`, on providers that
// never reach the machine.
struct DemoMonitor {
    explicit DemoMonitor(Timestamp reference);

    VirtualScheduler scheduler;
    ScriptedMachine machine; // nothing plugged in: it is never scanned
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    std::unique_ptr<Monitor> monitor;
};

} // namespace vantrel::DemoData
