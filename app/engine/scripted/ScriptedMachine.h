// A machine, a keyboard watcher, a notifier and an advisor panel that follow a script instead of
// the system: probes read a state the script sets, actions answer as the script says, and every
// action, notification and panel change is reported to a hook.
#pragma once

#include "app/engine/Seams.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantrel {

// How the machine's actions turn out. Anything not named succeeds; no interface has a service.
struct MachineResults {
    std::map<std::string, bool> ejectDisk; // by disk
    bool lockScreen = true;
    std::map<std::string, std::optional<std::string>> serviceName; // by interface
    std::map<std::string, bool> setNetworkService;                 // by service
    std::map<std::uint64_t, bool> seize;                           // by keyboard registry id
    std::map<std::uint64_t, bool> allowDevice;                     // by USB device id
};

struct MachineState {
    std::vector<USBDevice> usb;
    std::vector<InputDevice> inputs;
    std::vector<PortInfo> ports;
    std::vector<NetInterface> nets; // with their counters; rates are ignored
    NetConfig config;
    bool networkStore = true;
    std::map<std::string, std::vector<std::string>> serialUsers; // by serial path
    std::map<std::string, std::vector<std::string>> volumes;     // by whole-disk name
    bool inputAccess = true;
    bool canAllow = true;    // a device policy engine answers
    bool lockedHold = false; // new devices are held because the session is locked
    bool mayHold = false;    // this user may hold new devices while locked
    MachineResults results;
};

// One call of an action: its name, its arguments in order, and what it returned.
using ActionHook =
    std::function<void(const std::string& name, nlohmann::json args, nlohmann::json result)>;

class ScriptedMachine final : public Machine {
  public:
    MachineState state;

    void setActionHook(ActionHook hook) { hook_ = std::move(hook); }
    // Reports an action to the hook; the keyboard watcher reports its seizures here too.
    void report(const std::string& name, nlohmann::json args, nlohmann::json result) const;

    std::vector<USBDevice> usbDevices() override { return state.usb; }
    std::vector<InputDevice> inputDevices() override { return state.inputs; }
    std::vector<PortInfo> ports() override { return state.ports; }
    bool openNetworkStore() override { return state.networkStore; }
    std::map<std::string, IfCounters> interfaceCounters() override;
    std::vector<NetInterface>
    networkInterfaces(const std::map<std::string, IfCounters>& counters) override;
    NetConfig netConfig() override { return state.config; }

    std::vector<std::string> serialUsers(const std::string& path) override;
    std::vector<std::string> mountedVolumes(const std::string& disk) override;
    std::optional<std::string> serviceName(const std::string& interfaceName) override;
    bool ejectDisk(const std::string& disk) override;
    bool setNetworkService(const std::string& service, bool on) override;
    bool lockScreen() override;

    bool canAllow() override { return state.canAllow; }
    bool allowDevice(const USBDevice& device, bool permanent) override;
    bool mayHoldWhileLocked() override { return state.mayHold; }
    void holdWhileLocked(bool on) override;
    bool holdingWhileLocked() override { return state.lockedHold; }

  private:
    ActionHook hook_;
};

// A keyboard watcher that may watch whenever the machine's `inputAccess` says so, and passes on
// the presses the script makes while it runs.
class ScriptedKeyboardWatcher final : public KeyboardWatcher {
  public:
    ScriptedKeyboardWatcher(ScriptedMachine& machine, const Clock& clock)
        : machine_(machine), clock_(clock) {}

    bool checkAccess() override { return machine_.state.inputAccess; }
    bool requestAccess() override { return machine_.state.inputAccess; }
    void start() override { running_ = machine_.state.inputAccess; }
    void stop() override { running_ = false; }
    bool running() const override { return running_; }
    bool seize(std::uint64_t registryID) override;
    void setOnKeyDown(std::function<void(const Keyboard&, Timestamp)> handler) override {
        onKeyDown_ = std::move(handler);
    }

    // One key press on `keyboard`, stamped `at` (now when none); reaches the handler only while
    // running. The keyboard's firstSeen is the time of its first press this watcher passed on.
    // True when passed on.
    bool press(const Keyboard& keyboard, std::optional<Timestamp> at = std::nullopt);

  private:
    ScriptedMachine& machine_;
    const Clock& clock_;
    bool running_ = false;
    std::function<void(const Keyboard&, Timestamp)> onKeyDown_;
    std::map<std::uint64_t, Timestamp> firstSeen_;
};

// Passes every notification body to a hook.
class RecordingNotifier final : public Notifier {
  public:
    explicit RecordingNotifier(std::function<void(const std::string&)> hook)
        : hook_(std::move(hook)) {}
    void send(const std::string& body) override {
        if (hook_) {
            hook_(body);
        }
    }

  private:
    std::function<void(const std::string&)> hook_;
};

// Passes every show (with its request) and every hide (none) to a hook.
class RecordingPanel final : public AdvisorPanel {
  public:
    explicit RecordingPanel(std::function<void(const std::optional<TrustRequest>&)> hook)
        : hook_(std::move(hook)) {}
    void show(const TrustRequest& request) override {
        if (hook_) {
            hook_(request);
        }
    }
    void hide() override {
        if (hook_) {
            hook_(std::nullopt);
        }
    }

  private:
    std::function<void(const std::optional<TrustRequest>&)> hook_;
};

} // namespace vantrel
