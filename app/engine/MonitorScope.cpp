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
    const std::string base = d.label() + " is out of scope. You trusted it as: " + approvedText +
                             ". It now also claims: " + joined(beyondLabels, ", ") + ".";
    const std::string canDo = d.name + " now says it can " + joined(phrases, " and ") + ". ";

    if (!autoPause_) {
        log(Event::Level::warning, base + " Auto-pause is off, so nothing was changed.", false);
        notifyUser(canDo + "Unplug it unless you expected this.");
        return;
    }

    std::vector<std::string> actions;
    if (contains(beyond, Capability::storage)) {
        for (const std::string& disk : d.disks) {
            if (p_.machine.ejectDisk(disk)) {
                actions.push_back("ejected " + disk);
            }
        }
    }
    if (contains(beyond, Capability::input) && p_.machine.lockScreen()) {
        actions.emplace_back("locked your screen so it can't type into your session");
    }
    if (contains(beyond, Capability::network) && !d.netNames.empty()) {
        pauseNetwork(d);
        actions.emplace_back("asked to turn off its network adapter");
    }
    std::vector<std::string> stuck;
    for (Capability c : beyond) {
        if (c == Capability::serial || c == Capability::camera || c == Capability::audio) {
            stuck.emplace_back(c.rawValue());
        }
    }
    if (!stuck.empty()) {
        actions.push_back("can't switch off its " + joined(stuck, " and ") + " from software");
    }

    std::string text = base;
    if (!actions.empty()) {
        text += " Vantrel " + joined(actions, ", ") + ".";
    }
    text += " Unplug it unless you expected this.";
    log(Event::Level::warning, std::move(text), false);
    notifyUser(canDo + (actions.empty()
                            ? "Unplug it unless you expected this."
                            : "Vantrel paused it. Unplug it unless you expected this."));
}

void Monitor::approveScope(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    knownUSB_[d.key()] = d.codes();
    saveKnownUSB();
    outOfScope_.erase(d.key());
    log(Event::Level::info, "You approved " + d.label() + " as: " + d.capsText() + ".", false);
}

void Monitor::forget(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    const std::string key = d.key();
    knownUSB_.erase(key);
    history_.erase(key);
    outOfScope_.erase(key);
    saveKnownUSB();
    saveHistory();
    log(Event::Level::info,
        "Forgot " + d.label() +
            ". Next time it connects, Vantrel will treat it as new. Unplug it to remove its "
            "access now.",
        false);
}

void Monitor::ejectDisks(const USBDevice& d) {
    if (!persists_) {
        return;
    }
    std::vector<std::string> ejected;
    for (const std::string& disk : d.disks) {
        if (p_.machine.ejectDisk(disk)) {
            ejected.push_back(disk);
        }
    }
    log(Event::Level::info,
        ejected.empty() ? "Couldn't eject the disks of " + d.label() + "."
                        : "Ejected " + joined(ejected, ", ") + " from " + d.label() + ".",
        false);
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
    // The work runs off the main thread, as long as the administrator prompt is open; it sees
    // only these copies, and its result is logged back on the main thread.
    p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), names = d.netNames,
                             label = d.label(), on, &machine = p_.machine]() -> Scheduler::Task {
        bool ok = true;
        for (const std::string& name : names) {
            const auto service = machine.serviceName(name);
            if (!service || !machine.setNetworkService(*service, on)) {
                ok = false;
                break;
            }
        }
        std::string text;
        if (on) {
            text = ok ? "Turned the network adapter of " + label + " back on."
                      : "Didn't turn the network adapter of " + label + " back on.";
        } else {
            text = ok ? "Turned off the network adapter of " + label + " (" + joined(names, ", ") +
                            ")."
                      : "Didn't turn off the network adapter of " + label +
                            " (cancelled or not found).";
        }
        return [weak, text] {
            if (auto self = weak.lock()) {
                (*self)->log(Event::Level::info, text, false);
            }
        };
    });
}

} // namespace vantrel
