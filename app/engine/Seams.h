// The interfaces through which the Monitor sees and acts on the machine, talks to the user and
// keeps time. Each has a real provider and a scripted one for tests and replay.
#pragma once

#include "app/engine/Devices.h"
#include "app/engine/Event.h"
#include "core/Timestamp.h"
#include "core/TrustRequest.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// Every probe and system action the Monitor uses. The probes are called on the main thread; the
// actions that run a tool or wait for a service (serviceName, ejectDisk, setNetworkService,
// lockScreen, allowDevice) run on a background thread, several at once, so that a slow tool never
// holds up the main thread.
class Machine {
  public:
    virtual ~Machine() = default;

    virtual std::vector<USBDevice> usbDevices() = 0;
    virtual std::vector<InputDevice> inputDevices() = 0;
    virtual std::vector<PortInfo> ports() = 0;

    // Whether the network configuration can be read at all; asked once, when the Monitor starts.
    virtual bool openNetworkStore() = 0;
    virtual std::map<std::string, IfCounters> interfaceCounters() = 0;
    virtual std::vector<NetInterface>
    networkInterfaces(const std::map<std::string, IfCounters>& counters) = 0;
    virtual NetConfig netConfig() = 0;

    virtual std::vector<std::string> serialUsers(const std::string& path) = 0;
    // The holders of every serial line of `paths`, by path; a machine that can find them all at
    // once for less than one at a time does so.
    virtual std::map<std::string, std::vector<std::string>>
    serialUsersOf(const std::vector<std::string>& paths) {
        std::map<std::string, std::vector<std::string>> users;
        for (const std::string& path : paths) {
            users[path] = serialUsers(path);
        }
        return users;
    }
    virtual std::vector<std::string> mountedVolumes(const std::string& disk) = 0;
    virtual std::optional<std::string> serviceName(const std::string& interfaceName) = 0;
    virtual bool ejectDisk(const std::string& disk) = 0;
    virtual bool setNetworkService(const std::string& service, bool on) = 0;
    virtual bool lockScreen() = 0;

    // The device policy engine, which holds new devices back until someone lets them in.
    // Whether one answers that can let a held-back device in; cheap, asked every cycle.
    virtual bool canAllow() = 0;
    // Lets a held-back device in: for this connection only, or with `permanent` also whenever it
    // is plugged in again. False when refused, not found or not answered in time.
    virtual bool allowDevice(const USBDevice& device, bool permanent) = 0;
    // Whether this user may hold new devices while the screen is locked without being asked for
    // a password; cheap.
    virtual bool mayHoldWhileLocked() = 0;
    // Holds every new device back while the session is locked (on) or stops doing so (off).
    virtual void holdWhileLocked(bool on) = 0;
    // Whether new devices are being held back now because the session is locked.
    virtual bool holdingWhileLocked() = 0;
};

// The part of the keyboard watcher the Monitor uses.
class KeyboardWatcher {
  public:
    virtual ~KeyboardWatcher() = default;

    // Whether keyboards may already be watched, without asking.
    virtual bool checkAccess() = 0;
    // Asks for access where the platform can; true when granted.
    virtual bool requestAccess() = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;
    // Takes the keyboard for exclusive use, so that its keys reach nothing else.
    virtual bool seize(std::uint64_t registryID) = 0;
    // Called on the main thread once per key press, with the time the key went down (as the
    // kernel stamped it, not when the press was read).
    virtual void
    setOnKeyDown(std::function<void(const Keyboard&, Timestamp pressedAt)> handler) = 0;
};

// Posts one desktop notification with the body given.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void send(const std::string& body) = 0;
};

// The one USB device an event concerns, for the places events go besides the event log.
struct EventDevice {
    std::string key; // as the settings know the device
    int vendorID = 0;
    int productID = 0;
    std::optional<int> trustScore; // when the device was scored
    friend bool operator==(const EventDevice&, const EventDevice&) = default;
};

// Where each event the Monitor records also goes (the system journal, standard output); never
// used by a replay or a demo.
class EventSink {
  public:
    virtual ~EventSink() = default;
    virtual void record(const Event& event, const std::optional<EventDevice>& device) = 0;
};

// The floating panel that advises on a pending accessory prompt.
class AdvisorPanel {
  public:
    virtual ~AdvisorPanel() = default;
    virtual void show(const TrustRequest& request) = 0;
    virtual void hide() = 0;
    // Whether a person sees the panel and can answer it; a panel nobody sees (the headless
    // guard) logs its own line in place of the question.
    virtual bool asksSomeone() const { return true; }
};

// The current time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Timestamp now() const = 0;
};

// The main thread's run loop. Every task runs on the main thread.
class Scheduler {
  public:
    using Task = std::function<void()>;
    virtual ~Scheduler() = default;

    // Runs `task` after `seconds`.
    virtual void after(double seconds, Task task) = 0;
    // Runs `tick` every `seconds` until it returns false.
    virtual void every(double seconds, std::function<bool()> tick) = 0;
    // Runs `work` off the main thread, then the task it returns on the main thread.
    virtual void background(std::function<Task()> work) = 0;
};

} // namespace vantrel
