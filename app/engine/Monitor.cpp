// The Monitor's construction, scan cycle, stored settings and the small operations of the
// user interface. The watches live in files of their own.
#include "app/engine/Monitor.h"

#include "app/engine/Displayed.h"
#include "app/engine/StoredJSON.h"
#include "core/Capability.h"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

namespace vantrel {

Monitor::Monitor(MonitorProviders providers, MonitorFiles files, Trace trace)
    : p_(providers), settings_(std::move(files.settings)), eventStore_(std::move(files.events)),
      trace_(std::move(trace)), self_(std::make_shared<Monitor*>(this)) {
    networkStore_ = p_.machine.openNetworkStore();
    prevCountersAt_ = p_.clock.now();

    loadSettings();
    events_ = eventStore_.load();

    p_.keyboard.setOnKeyDown(
        [weak = std::weak_ptr<Monitor*>(self_)](const Keyboard& keyboard, Timestamp pressedAt) {
            if (auto self = weak.lock()) {
                (*self)->keyDown(keyboard, pressedAt);
            }
        });
    // At start the user is never asked for access: the watcher starts only when it may already.
    if (settings_.boolean("keystrokeGuard").value_or(false) && p_.keyboard.checkAccess()) {
        p_.keyboard.start();
        keystrokeGuardOn_ = p_.keyboard.running();
    }

    if (holdWhileLocked_) {
        p_.machine.holdWhileLocked(true);
    }
    runCycle("start");
    p_.scheduler.every(cycleInterval, [weak = std::weak_ptr<Monitor*>(self_)] {
        if (auto self = weak.lock()) {
            (*self)->runCycle("timer");
            return true;
        }
        return false;
    });
}

Monitor::Monitor(MonitorProviders providers, Timestamp clock, DemoTag)
    : p_(providers), settings_({}), eventStore_({}), self_(std::make_shared<Monitor*>(this)),
      clock_(clock), persists_(false) {}

std::unique_ptr<Monitor> Monitor::demo(MonitorProviders providers, Timestamp clock) {
    return std::unique_ptr<Monitor>(new Monitor(providers, clock, DemoTag{}));
}

Monitor::~Monitor() = default;

void Monitor::observe(std::function<void(Changes)> observer) {
    observers_.push_back(std::move(observer));
}

void Monitor::observe(std::function<void()> observer) {
    observers_.push_back([observer = std::move(observer)](Changes) { observer(); });
}

void Monitor::changed(Changes::Part part, bool now) {
    pending_.add(part);
    if (now) {
        publish();
    }
}

void Monitor::publish() {
    if (!pending_.any()) {
        return;
    }
    const Changes changes = std::exchange(pending_, {});
    for (const auto& observer : observers_) {
        observer(changes);
    }
}

Scheduler::Task Monitor::guarded(std::function<void(Monitor&)> task) {
    return onMonitor(self_, std::move(task));
}

Scheduler::Task Monitor::onMonitor(std::weak_ptr<Monitor*> weak,
                                   std::function<void(Monitor&)> task) {
    return [weak = std::move(weak), task = std::move(task)] {
        if (auto self = weak.lock()) {
            task(**self);
        }
    };
}

void Monitor::deviceChanged() {
    runCycle("device");
}

void Monitor::runCycle(std::string_view reason) {
    if (trace_.cycle) {
        trace_.cycle(reason);
    }
    if (persists_) {
        const bool canAllow = p_.machine.canAllow();
        const bool holding = p_.machine.holdingWhileLocked();
        if (canAllow != canAllow_ || holding != holdingWhileLocked_) {
            canAllow_ = canAllow;
            holdingWhileLocked_ = holding;
            changed(Changes::policy, false);
        }
    }
    scanUSB();
    scanInputs();
    scanPorts();
    scanNetwork();
    watchActivity();
    firstScan_ = false;
    publish();
}

void Monitor::loadSettings() {
    // A stored value that cannot be read starts empty; the file is kept aside before it is
    // next written, so that nothing the user had is lost.
    if (const auto* known = settings_.value("knownUSB")) {
        bool readable = known->is_object();
        std::map<std::string, std::vector<std::string>> loaded;
        for (auto it = known->begin(); readable && it != known->end(); ++it) {
            if (!it->is_array()) {
                readable = false;
                break;
            }
            auto& codes = loaded[it.key()];
            for (const auto& entry : *it) {
                if (!entry.is_string()) {
                    readable = false;
                    break;
                }
                codes.push_back(Capability::code(entry.get<std::string>()));
            }
        }
        if (readable) {
            knownUSB_ = std::move(loaded);
        } else {
            knownUSBUnreadable_ = true;
            settings_.keepAsideBeforeNextWrite();
        }
    }
    knownUSBUnreadable_ = knownUSBUnreadable_ || settings_.unreadable();

    if (const auto* inputs = settings_.value("knownInputs")) {
        bool readable = inputs->is_array() &&
                        std::all_of(inputs->begin(), inputs->end(),
                                    [](const nlohmann::json& e) { return e.is_string(); });
        if (readable) {
            for (const auto& entry : *inputs) {
                knownInputs_.insert(entry.get<std::string>());
            }
        } else {
            settings_.keepAsideBeforeNextWrite();
        }
    }

    // Stored as a JSON object; a string holding that document is read as well.
    if (const auto* stored = settings_.value("deviceHistory")) {
        std::optional<DeviceHistories> loaded;
        if (stored->is_string()) {
            auto parsed = StoredJSON::parse(stored->get<std::string>());
            if (!parsed.is_discarded()) {
                loaded = historiesFromJSON(parsed);
            }
        } else {
            loaded = historiesFromJSON(*stored);
        }
        if (loaded) {
            history_ = std::move(*loaded);
        } else {
            settings_.keepAsideBeforeNextWrite();
        }
    }
    // A file from before the bound loads whole; what is past it goes with the next write.
    boundStoredDevices();

    autoPause_ = settings_.boolean("autoPause").value_or(true);
    developerMode_ = settings_.boolean("developerMode").value_or(false);
    holdWhileLocked_ = settings_.boolean("holdWhileLocked").value_or(false);
}

void Monitor::saveKnownUSB() {
    if (!persists_) {
        return;
    }
    auto object = nlohmann::json::object();
    for (const auto& [key, codes] : knownUSB_) {
        object[key] = codes;
    }
    settings_.set("knownUSB", std::move(object));
}

void Monitor::saveHistory() {
    settings_.set("deviceHistory", historiesToJSON(history_));
}

void Monitor::setAutoPause(bool on) {
    autoPause_ = on;
    if (persists_) {
        settings_.set("autoPause", on);
    }
    changed(Changes::switches);
}

void Monitor::setKeystrokeGuard(bool on) {
    if (!persists_) {
        return;
    }
    settings_.set("keystrokeGuard", on);
    if (!on) {
        p_.keyboard.stop();
    } else if (p_.keyboard.requestAccess()) {
        p_.keyboard.start();
    }
    keystrokeGuardOn_ = p_.keyboard.running();
    changed(Changes::switches);
}

void Monitor::showDemo(DemoState state, Changes changes) {
    if (persists_) {
        return;
    }
    usb_ = displayed(std::move(state.usb));
    inputs_ = displayed(std::move(state.inputs));
    ports_ = std::move(state.ports);
    nets_ = std::move(state.nets);
    config_ = std::move(state.config);
    events_ = std::move(state.events);
    if (events_.size() > maxEvents) {
        events_.resize(maxEvents);
    }
    trustRequest_ = std::move(state.trustRequest);
    advice_.reset();
    if (trustRequest_) {
        advice_ = Advisor::advise(*trustRequest_, clock_.value_or(p_.clock.now()));
    }
    activity_ = std::move(state.activity);
    outOfScope_ = std::move(state.outOfScope);
    history_ = std::move(state.history);
    knownUSB_ = std::move(state.knownUSB);
    autoPause_ = state.autoPause;
    keystrokeGuardOn_ = state.keystrokeGuardOn;
    canAllow_ = state.canAllow;
    pending_.add(changes);
    publish();
}

void Monitor::setDeveloperMode(bool on) {
    developerMode_ = on;
    if (persists_) {
        settings_.set("developerMode", on);
    }
    changed(Changes::switches);
}

bool Monitor::keystrokeGuardPreferred() const {
    return settings_.boolean("keystrokeGuard").value_or(false);
}

bool Monitor::inputMonitoringPermitted() const {
    return p_.keyboard.checkAccess();
}

void Monitor::lockScreen() {
    if (!persists_) {
        return;
    }
    p_.scheduler.background(
        [weak = std::weak_ptr<Monitor*>(self_), &machine = p_.machine]() -> Scheduler::Task {
            if (!machine.lockScreen()) {
                return {};
            }
            return onMonitor(weak, [](Monitor& m) {
                m.log(Event::Level::info, "You locked the screen from Vantrel.", false);
            });
        });
}

std::vector<Event> Monitor::unreviewed() const {
    std::vector<Event> result;
    for (const Event& e : events_) {
        if (e.level == Event::Level::warning && !e.reviewed) {
            result.push_back(e);
        }
    }
    return result;
}

std::vector<USBDevice> Monitor::everydayDevices() const {
    std::vector<USBDevice> result;
    for (const USBDevice& d : usb_) {
        const bool infrastructureOnly =
            !d.caps.empty() && std::all_of(d.caps.begin(), d.caps.end(), [](Capability c) {
                return c == Capability::hub || c == Capability::display;
            });
        if (d.blocked || !infrastructureOnly) {
            result.push_back(d);
        }
    }
    return result;
}

} // namespace vantrel
