// Scope enforcement: a known device that claims more than it was approved for is reported
// and, with auto-pause on, paused. Also the user's answers: approve, forget, eject, pause.
#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"

#include <algorithm>

namespace vantrel {
namespace {

bool contains(const std::vector<Capability>& caps, Capability c) {
    return std::find(caps.begin(), caps.end(), c) != caps.end();
}

} // namespace

void Monitor::goneOutOfScope(const USBDevice& d, const std::vector<Capability>& beyond,
                             const std::vector<std::string>& approved) {
    outOfScope_[d.key()] = beyond;
    changed(Changes::outOfScope, false);

    std::vector<std::string> approvedLabels;
    for (const std::string& code : approved) {
        if (auto c = Capability::from(std::string_view(code))) {
            approvedLabels.emplace_back(c->rawValue());
        }
    }
    const std::string approvedText = approved.empty() ? "none" : joined(approvedLabels, ", ");
    std::vector<std::string> beyondLabels, phrases;
    for (Capability c : beyond) {
        beyondLabels.emplace_back(c.rawValue());
        phrases.emplace_back(c.plainShort());
    }
    OutOfScopeReport report;
    report.device = about(d);
    report.base = d.label() + " is out of scope. You trusted it as: " + approvedText +
                  ". It now also claims: " + joined(beyondLabels, ", ") + ".";
    report.canDo = d.name + " now says it can " + joined(phrases, " and ") + ". ";

    if (!autoPause_) {
        log(Event::Level::warning, report.base + " Auto-pause is off, so nothing was changed.",
            false, report.device);
        notifyUser(report.canDo + "Unplug it unless you expected this.");
        return;
    }

    const bool lock = contains(beyond, Capability::input);
    const std::vector<std::string> disks =
        contains(beyond, Capability::storage) ? d.disks : std::vector<std::string>{};
    report.networkAsked = contains(beyond, Capability::network) && !d.netNames.empty();
    std::vector<std::string> stuck;
    for (Capability c : beyond) {
        if (c == Capability::serial || c == Capability::camera || c == Capability::audio) {
            stuck.emplace_back(c.rawValue());
        }
    }
    if (!stuck.empty()) {
        report.stuck = "can't switch off its " + joined(stuck, " and ") + " from software";
    }

    const bool networkAsked = report.networkAsked;
    if (lock || !disks.empty()) {
        // The lock goes first: a drive can keep udisks busy for half a minute per partition, and
        // a keyboard must not get that long to type. Both run off the main thread; the report
        // follows when they have finished.
        p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), lock, disks,
                                 report = std::move(report),
                                 &machine = p_.machine]() mutable -> Scheduler::Task {
            if (lock) {
                report.locked = machine.lockScreen();
            }
            for (const std::string& disk : disks) {
                if (machine.ejectDisk(disk)) {
                    report.ejected.push_back(disk);
                }
            }
            return onMonitor(
                weak, [report = std::move(report)](Monitor& m) { m.reportOutOfScope(report); });
        });
    } else {
        reportOutOfScope(report);
    }
    // The network adapter waits on a password prompt; its pause logs its own result.
    if (networkAsked) {
        pauseNetwork(d);
    }
}

void Monitor::reportOutOfScope(const OutOfScopeReport& report) {
    std::vector<std::string> actions;
    for (const std::string& disk : report.ejected) {
        actions.push_back("ejected " + disk);
    }
    if (report.locked) {
        actions.emplace_back("locked your screen so it can't type into your session");
    }
    if (report.networkAsked) {
        actions.emplace_back("asked to turn off its network adapter");
    }
    if (!report.stuck.empty()) {
        actions.push_back(report.stuck);
    }
    std::string text = report.base;
    if (!actions.empty()) {
        text += " Vantrel " + joined(actions, ", ") + ".";
    }
    text += " Unplug it unless you expected this.";
    log(Event::Level::warning, std::move(text), false, report.device);
    // Only what was really switched off counts as paused: an adapter whose pause waits on a
    // password, or a function that software cannot switch off, is not.
    const bool paused = report.locked || !report.ejected.empty();
    notifyUser(report.canDo + (paused ? "Vantrel paused it. Unplug it unless you expected this."
                                      : "Unplug it unless you expected this."));
}

void Monitor::approveScope(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    knownUSB_[d.key()] = d.codes();
    saveKnownUSB();
    outOfScope_.erase(d.key());
    changed(Changes::usb, false);
    changed(Changes::outOfScope, false);
    log(Event::Level::info, "You approved " + d.label() + " as: " + d.capsText() + ".", false,
        about(d));
}

void Monitor::forget(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    const std::string key = d.key();
    knownUSB_.erase(key);
    history_.erase(key);
    outOfScope_.erase(key);
    changed(Changes::usb, false);
    changed(Changes::outOfScope, false);
    saveKnownUSB();
    saveHistory();
    log(Event::Level::info,
        "Forgot " + d.label() +
            ". Next time it connects, Vantrel will treat it as new. Unplug it to remove its "
            "access now.",
        false, about(d));
}

void Monitor::ejectDisks(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), disks = d.disks,
                             label = d.label(), device = about(d),
                             &machine = p_.machine]() -> Scheduler::Task {
        std::vector<std::string> ejected;
        for (const std::string& disk : disks) {
            if (machine.ejectDisk(disk)) {
                ejected.push_back(disk);
            }
        }
        const std::string text = ejected.empty()
                                     ? "Couldn't eject the disks of " + label + "."
                                     : "Ejected " + joined(ejected, ", ") + " from " + label + ".";
        return onMonitor(
            weak, [text, device](Monitor& m) { m.log(Event::Level::info, text, false, device); });
    });
}

void Monitor::pauseNetwork(const USBDevice& d) {
    switchNetwork(d, false);
}

void Monitor::resumeNetwork(const USBDevice& d) {
    switchNetwork(d, true);
}

void Monitor::switchNetwork(const USBDevice& d, bool on) {
    if (!persists_) {
        return;
    }
    // Once a connection is down, NetworkManager no longer names it for the interface: the one
    // this Monitor took down is remembered, so that resuming brings that one back.
    std::vector<NetworkSwitch> switches;
    for (const std::string& name : d.netNames) {
        NetworkSwitch s{name, std::nullopt, false};
        if (auto taken = pausedConnections_.find({d.key(), name});
            on && taken != pausedConnections_.end()) {
            s.connection = taken->second;
        }
        switches.push_back(std::move(s));
    }
    // The work runs off the main thread, as long as the administrator prompt is open; it sees
    // only these copies, and its results are logged back on the main thread.
    p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), switches = std::move(switches),
                             device = about(d), label = d.label(), on,
                             &machine = p_.machine]() mutable -> Scheduler::Task {
        // Every interface is tried, whatever happened to the one before.
        for (NetworkSwitch& s : switches) {
            if (!s.connection) {
                s.connection = machine.serviceName(s.interface);
            }
            s.ok = s.connection && machine.setNetworkService(*s.connection, on);
        }
        return onMonitor(weak, [switches = std::move(switches), device, label, on](Monitor& m) {
            m.networkSwitched(device, label, on, switches);
        });
    });
}

void Monitor::networkSwitched(const EventDevice& device, const std::string& label, bool on,
                              const std::vector<NetworkSwitch>& switches) {
    const std::string& key = device.key;
    for (const NetworkSwitch& s : switches) {
        std::string text;
        if (on) {
            if (s.ok) {
                pausedConnections_.erase({key, s.interface});
            }
            text = s.ok ? "Turned the network adapter of " + label + " back on."
                        : "Didn't turn the network adapter of " + label + " back on.";
        } else {
            if (s.ok) {
                pausedConnections_[{key, s.interface}] = *s.connection;
            }
            text = s.ok ? "Turned off the network adapter of " + label + " (" + s.interface + ")."
                        : "Didn't turn off the network adapter of " + label +
                              " (cancelled or not found).";
        }
        log(Event::Level::info, std::move(text), false, device);
    }
}

} // namespace vantrel
