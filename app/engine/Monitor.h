// The one long-lived engine: owns all watched state, runs the scan cycle, turns differences
// between snapshots into events and decisions, and carries out auto-pause. Main thread only.
#pragma once

#include "app/engine/Changes.h"
#include "app/engine/Devices.h"
#include "app/engine/Event.h"
#include "app/engine/EventStore.h"
#include "app/engine/Seams.h"
#include "app/engine/SettingsStore.h"
#include "core/Advisor.h"
#include "core/DeviceHistory.h"
#include "core/RateWindow.h"
#include "core/Trust.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The services a Monitor runs on. All must outlive it.
struct MonitorProviders {
    Machine& machine;
    KeyboardWatcher& keyboard;
    Notifier& notifier;
    AdvisorPanel& panel;
    Scheduler& scheduler;
    Clock& clock;
    EventSink* sink = nullptr; // where events also go, if anywhere
};

// Where a Monitor keeps its settings and its event log.
struct MonitorFiles {
    std::filesystem::path settings = SettingsStore::standardPath();
    std::filesystem::path events = EventStore::standardPath();
};

class Monitor {
  public:
    static constexpr std::size_t maxEvents = 500;
    static constexpr double settleTime = 1.5;    // seconds a USB device stays before judgement
    static constexpr double followUpDelay = 1.6; // seconds to the scan after a settling device
    static constexpr double cycleInterval = 3.0; // seconds between timer cycles

    // What a replay or a test wants to see of the inner workings.
    struct Trace {
        std::function<void(std::string_view reason)>
            cycle; // "start", "timer", "device", "follow-up"
        std::function<void(const Event& event, bool notify)> log;
    };

    // Loads the stored state, arms the keyboard handler, runs the first scan cycle and starts
    // the repeating timer. `trace` sees every cycle and log line from the first on.
    Monitor(MonitorProviders providers, MonitorFiles files = {}, Trace trace = {});
    void setTrace(Trace trace) { trace_ = std::move(trace); }
    // A Monitor that loads and saves nothing, posts no notification, touches nothing on the
    // machine and never scans; it scores devices at the fixed time `clock`. Demo mode fills it.
    static std::unique_ptr<Monitor> demo(MonitorProviders providers, Timestamp clock);

    // Everything a demo Monitor shows, set at once.
    struct DemoState {
        std::vector<USBDevice> usb;
        std::vector<InputDevice> inputs;
        std::vector<PortInfo> ports;
        std::vector<NetInterface> nets;
        NetConfig config;
        std::vector<Event> events; // newest first
        std::optional<TrustRequest> trustRequest;
        std::map<std::uint64_t, std::string> activity;
        std::map<std::string, std::vector<Capability>> outOfScope;
        DeviceHistories history;
        std::map<std::string, std::vector<std::string>> knownUSB;
        bool autoPause = true;
        bool keystrokeGuardOn = false;
        bool canAllow = true;
    };
    // Replaces the published state of a demo Monitor (the advice follows the request) and tells
    // the observers that `changes` changed: everything unless the caller names the only parts
    // that differ. A Monitor that persists ignores it.
    void showDemo(DemoState state, Changes changes = Changes::all());

    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Published state. Observers are told of every change and of what it touched, on the main
    // thread; nothing is told when nothing changed.
    const std::vector<USBDevice>& usb() const { return usb_; }
    const std::vector<InputDevice>& inputs() const { return inputs_; }
    const std::vector<PortInfo>& ports() const { return ports_; }
    const std::vector<NetInterface>& nets() const { return nets_; }
    const NetConfig& config() const { return config_; }
    const std::vector<Event>& events() const { return events_; }
    const std::optional<TrustRequest>& trustRequest() const { return trustRequest_; }
    const std::optional<Advice>& advice() const { return advice_; }
    const std::map<std::uint64_t, std::string>& activity() const { return activity_; }
    const std::map<std::string, std::vector<Capability>>& outOfScope() const { return outOfScope_; }
    bool autoPause() const { return autoPause_; }
    bool keystrokeGuardOn() const { return keystrokeGuardOn_; }

    // Adds an observer of the published state; it is called after every change with the parts
    // that changed since it was last called.
    void observe(std::function<void(Changes)> observer);
    void observe(std::function<void()> observer);

    // Stored state, for reports and replay.
    const std::map<std::string, std::vector<std::string>>& knownUSB() const { return knownUSB_; }
    const std::set<std::string>& knownInputs() const { return knownInputs_; }
    const DeviceHistories& history() const { return history_; }
    bool persists() const { return persists_; }

    // A device came or went: run a scan cycle now.
    void deviceChanged();

    // The time scores are computed for: now, or the fixed time of a demo.
    Timestamp now() const { return clock_.value_or(p_.clock.now()); }

    // Operations of the user interface.
    TrustScore trust(const USBDevice& device) const;
    void approveScope(const USBDevice& device);
    void forget(const USBDevice& device);
    void ejectDisks(const USBDevice& device);
    void pauseNetwork(const USBDevice& device);
    void resumeNetwork(const USBDevice& device);
    void markAllReviewed();
    void setKeystrokeGuard(bool on);
    void setAutoPause(bool on);
    // The window's layout preference, stored as "developerMode" (only in memory in demo mode).
    bool developerMode() const { return developerMode_; }
    void setDeveloperMode(bool on);
    // Whether the user asked for the keystroke guard (the stored "keystrokeGuard"), whether or
    // not it could start.
    bool keystrokeGuardPreferred() const;
    // Whether the keyboards may be watched, asked of the keyboard watcher now.
    bool inputMonitoringPermitted() const;
    // Whether a device policy engine answers, so that the prompt can be answered here.
    bool canAllow() const { return canAllow_; }
    // The answer to the open prompt, "Allow" or "Don't Allow"; nothing when no prompt is open.
    void allowPrompt();
    void refusePrompt();
    // "Hold new devices while locked" (the stored "holdWhileLocked"), and whether this user may
    // turn it on without a password prompt, asked of the machine now.
    bool holdWhileLocked() const { return holdWhileLocked_; }
    void setHoldWhileLocked(bool on);
    bool mayHoldWhileLocked() const;
    // "Lock screen now": locks the session and logs it; does nothing in demo mode, and logs
    // nothing when the lock did not happen.
    void lockScreen();
    // Warnings not yet reviewed, newest first.
    std::vector<Event> unreviewed() const;
    // The devices of `usb` without pure infrastructure (hubs and display adapters).
    std::vector<USBDevice> everydayDevices() const;

    // The event log.
    // Records an event, about `device` when it concerns one USB device.
    void log(Event::Level level, std::string text, bool notify,
             const std::optional<EventDevice>& device = std::nullopt);
    void notifyUser(const std::string& text);

  private:
    struct DemoTag {};
    Monitor(MonitorProviders providers, Timestamp clock, DemoTag);

    // What the events about `device` tell besides their text.
    static EventDevice about(const USBDevice& device, std::optional<int> trustScore = {});
    // The one device the open prompt asks about, when it asks about exactly one.
    std::optional<EventDevice> requestedDevice(std::optional<int> trustScore = {}) const;

    void runCycle(std::string_view reason);
    void scanUSB();
    void scanInputs();
    void scanPorts();
    void updateTrustRequest();
    // While new devices are held because the session is locked: lets keyboards, mice and hubs
    // in for this connection, so that nobody is locked out of their own machine.
    void letInWhileLocked();
    // Closes the prompt: the panel hides and the request and its advice are gone.
    void endTrustRequest();
    // The label the prompt's lines use for what it asks about.
    std::string requestedWhat(std::string_view none) const;
    void scanNetwork();
    void watchActivity();
    void keyDown(const Keyboard& keyboard, Timestamp pressedAt);

    // Updates the device's history in memory; the scan writes it.
    void recordHistory(const USBDevice& device, Timestamp now);
    // The line of a trusted baseline of `devices` devices; a warning when the approved devices
    // could not be read.
    void logBaseline(std::size_t devices);
    void goneOutOfScope(const USBDevice& device, const std::vector<Capability>& beyond,
                        const std::vector<std::string>& approved);
    // What auto-pause did to a device out of scope, gathered off the main thread.
    struct OutOfScopeReport {
        EventDevice device;
        std::string base;  // "{label} is out of scope. …"
        std::string canDo; // "{name} now says it can …. "
        std::vector<std::string> ejected;
        bool locked = false;
        bool networkAsked = false;
        std::string stuck; // "can't switch off its … from software", or empty
    };
    void reportOutOfScope(const OutOfScopeReport& report);
    // One network interface of a device being switched off or on, and how it went.
    struct NetworkSwitch {
        std::string interface;
        std::optional<std::string> connection;
        bool ok = false;
    };
    void switchNetwork(const USBDevice& device, bool on);
    void networkSwitched(const EventDevice& device, const std::string& label, bool on,
                         const std::vector<NetworkSwitch>& switches);

    void loadSettings();
    // Drops what devices beyond maxStoredDevices made us store (see devicesToDrop); true when
    // that changed knownUSB.
    bool boundStoredDevices();
    void saveKnownUSB();
    void saveHistory();
    // Notes that `part` changed; tells the observers of what changed when `now`.
    void changed(Changes::Part part, bool now = true);
    // Tells the observers of everything noted since they were last told, if anything.
    void publish();
    // Runs `task` on the main thread later, unless this Monitor is gone by then.
    Scheduler::Task guarded(std::function<void(Monitor&)> task);
    // The same for the Monitor `weak` names; it touches no Monitor, so that background work can
    // make its hand-back with it.
    static Scheduler::Task onMonitor(std::weak_ptr<Monitor*> weak,
                                     std::function<void(Monitor&)> task);

    MonitorProviders p_;
    SettingsStore settings_;
    EventStore eventStore_;
    std::vector<std::function<void(Changes)>> observers_;
    Changes pending_; // changed since the observers were last told
    Trace trace_;
    // Tasks hold this weakly, so that they do nothing once the Monitor is gone.
    std::shared_ptr<Monitor*> self_;

    // Published.
    std::vector<USBDevice> usb_;
    std::vector<InputDevice> inputs_;
    std::vector<PortInfo> ports_;
    std::vector<NetInterface> nets_;
    NetConfig config_;
    std::vector<Event> events_;
    std::optional<TrustRequest> trustRequest_;
    std::optional<Advice> advice_;
    std::map<std::uint64_t, std::string> activity_;
    std::map<std::string, std::vector<Capability>> outOfScope_;
    bool autoPause_ = true;
    bool keystrokeGuardOn_ = false;
    bool developerMode_ = false;
    bool canAllow_ = false;
    bool holdWhileLocked_ = false;

    // Not published.
    std::optional<Timestamp> clock_; // a fixed time for scoring, set only in demo mode
    bool persists_ = true;
    bool networkStore_ = false;
    bool firstScan_ = true;
    bool knownUSBUnreadable_ = false; // the stored knownUSB, or the whole file, could not be read
    std::map<std::uint64_t, Timestamp> firstSeen_;
    std::set<std::uint64_t> evaluated_;
    std::map<std::string, std::vector<std::string>> knownUSB_;
    std::set<std::string> knownInputs_;
    DeviceHistories history_;
    std::map<std::string, RateWindow> netBytes_;
    std::map<std::string, double> lastBytesDelta_;
    std::map<std::string, Timestamp> lastBurstAlert_;
    std::map<std::string, std::vector<std::string>> serialUsers_;
    std::map<std::string, std::vector<std::string>> mountedVolumes_;
    std::map<std::uint64_t, RateWindow> keyWindows_;
    std::map<std::uint64_t, Timestamp> lastInjectionAlert_;
    // The USB devices the open prompt asks about; those the user chose "Don't Allow" for, not
    // asked about again while they stay plugged in; those tried while the session was locked.
    std::vector<std::uint64_t> requestIDs_;
    std::set<std::uint64_t> refused_;
    std::set<std::uint64_t> lockAllowed_;
    std::set<std::uint64_t> allowed_; // let in by "Allow", waiting for a scan to see it
    bool allowing_ = false;           // an "Allow" is on its way to the policy engine
    bool holdingWhileLocked_ = false; // as the machine said at this cycle
    // The connection taken down on each paused interface, by device key and interface name.
    std::map<std::pair<std::string, std::string>, std::string> pausedConnections_;
    std::map<std::string, IfCounters> prevCounters_;
    Timestamp prevCountersAt_;
};

} // namespace vantrel
