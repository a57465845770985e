// Keyboards and pointing devices: new ones are reported at once, and a new keyboard that
// types faster than a person is reported and, with auto-pause on, blocked and locked out.
#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"
#include "core/LocaleText.h"
#include "core/Rules.h"

#include <cmath>
#include <cstdio>
#include <unordered_set>

namespace vantrel {
namespace {

constexpr double injectionAlertSpacing = 30; // seconds between two reports of one keyboard

} // namespace

void Monitor::scanInputs() {
    std::vector<InputDevice> current = p_.machine.inputDevices();
    std::unordered_set<std::string> oldKeys, newKeys;
    for (const InputDevice& x : inputs_) {
        oldKeys.insert(x.key());
    }
    for (const InputDevice& x : current) {
        newKeys.insert(x.key());
    }

    const bool baseline = firstScan_ && knownInputs_.empty();
    bool knownChanged = false;
    for (const InputDevice& x : current) {
        const std::string key = x.key();
        if (oldKeys.contains(key)) {
            continue;
        }
        if (baseline || x.builtIn) {
            knownChanged |= knownInputs_.insert(key).second;
        } else if (!knownInputs_.contains(key)) {
            const std::string kind = LocaleText::lowercased(x.kind);
            log(Event::Level::warning,
                "New " + kind + " connected: " + x.name + " via " + x.transport +
                    ". If you didn't plug in a " + kind + ", unplug devices now.",
                true);
            knownInputs_.insert(key);
            knownChanged = true;
        } else if (!firstScan_) {
            log(Event::Level::info,
                "Connected: " + x.name + " (" + x.kind + ", " + x.transport + ")", false);
        }
    }
    for (const InputDevice& y : inputs_) {
        if (!newKeys.contains(y.key()) && !y.builtIn) {
            log(Event::Level::info,
                "Disconnected: " + y.name + " (" + y.kind + ", " + y.transport + ")", false);
        }
    }
    if (knownChanged) {
        settings_.set("knownInputs",
                      std::vector<std::string>(knownInputs_.begin(), knownInputs_.end()));
    }
    inputs_ = std::move(current);
}

void Monitor::keyDown(const Keyboard& kb) {
    const Timestamp now = p_.clock.now();
    RateWindow& window =
        keyWindows_.try_emplace(kb.registryID, Rules::injectionWindow).first->second;
    window.add(1, now);
    const double keys = window.total(now);
    if (!Rules::isInjection(keys, now - kb.firstSeen, kb.builtIn)) {
        return;
    }
    const auto last = lastInjectionAlert_.find(kb.registryID);
    if (last != lastInjectionAlert_.end() && now - last->second <= injectionAlertSpacing) {
        return;
    }
    lastInjectionAlert_[kb.registryID] = now;

    std::vector<std::string> actions;
    if (autoPause_) {
        if (p_.keyboard.seize(kb.registryID)) {
            actions.emplace_back("blocked its keystrokes");
        }
        if (p_.machine.lockScreen()) {
            actions.emplace_back("locked your screen");
        }
    }
    char window15[16];
    std::snprintf(window15, sizeof window15, "%g", Rules::injectionWindow);
    std::string text = "\u201c" + kb.name + "\u201d typed " +
                       std::to_string(static_cast<long long>(keys)) + " keys in " + window15 +
                       " seconds, faster than a person can. ";
    if (!actions.empty()) {
        text += "Vantrel " + joined(actions, " and ") + ". ";
    } else if (!autoPause_) {
        text += "Auto-pause is off. ";
    }
    text += "Unplug it before you unlock.";
    log(Event::Level::warning, std::move(text), true);
}

} // namespace vantrel
