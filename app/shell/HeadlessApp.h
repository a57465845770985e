// The headless guard: the same Monitor, probes and actions as the tray application on Qt's event
// loop, with no window and no notification service; its events go to the journal and/or stdout.
#pragma once

#include "app/engine/Monitor.h"
#include "app/linux/ChildProcesses.h"
#include "app/linux/DeviceEvents.h"
#include "app/linux/KeystrokeGuard.h"
#include "app/linux/LinuxMachine.h"
#include "app/shell/HeadlessPanel.h"
#include "app/shell/MachineWatch.h"
#include "app/shell/QtScheduler.h"
#include "app/shell/SystemClock.h"
#include "app/shell/UsbGuardPolicy.h"

#include <iosfwd>
#include <memory>
#include <vector>

namespace vantrel {

class HeadlessApp {
  public:
    // Needs a QCoreApplication. Events go to the journal where one answers, and as JSON lines to
    // `out` with `json` or where no journal answers. Loads the stored state and runs the first
    // scan cycle.
    HeadlessApp(bool json, std::ostream& out);
    ~HeadlessApp();
    HeadlessApp(const HeadlessApp&) = delete;
    HeadlessApp& operator=(const HeadlessApp&) = delete;

    Monitor& monitor() { return *monitor_; }

  private:
    // Each event goes to every sink in turn.
    struct Sinks final : EventSink {
        std::vector<std::unique_ptr<EventSink>> all;
        void record(const Event& event, const std::optional<EventDevice>& device) override;
    };
    // Nobody reads desktop notifications here; the event itself is in the log and the sinks.
    struct Silent final : Notifier {
        void send(const std::string&) override {}
    };

    void deviceChanged();

    SystemClock clock_;
    // No session to lock and hold devices for: the policy daemon answers without a lock hold.
    UsbGuardPolicy policy_{QDBusConnection::systemBus(), [this] { deviceChanged(); }};
    LinuxMachine machine_{&policy_, Actions::Acting::asService};
    KeystrokeGuard keyboard_{clock_};
    Silent notifier_;
    HeadlessPanel panel_;
    // At the end the tools still running (a slow udisksctl) are killed, so that stopping never
    // waits for them.
    QtScheduler scheduler_{[] { ChildProcesses::endGroups(); }};
    DeviceEvents deviceEvents_;
    Sinks sinks_;
    // Last, so that they go first: nothing above refers to them. The keyboard watcher, going
    // after them, closes its devices, which lets a seized keyboard go.
    std::unique_ptr<MachineWatch> watch_;
    std::unique_ptr<Monitor> monitor_;
};

} // namespace vantrel
