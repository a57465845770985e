// Keyboards and pointing devices: new ones are reported at once, and a new keyboard that
// types faster than a person is reported and, with auto-pause on, blocked and locked out.
#include "app/engine/Displayed.h"
#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"
#include "core/Displayable.h"
#include "core/LocaleText.h"
#include "core/Rules.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

namespace vantrel {
namespace {

constexpr double injectionAlertSpacing = 30; // seconds between two reports of one keyboard

} // namespace

void Monitor::scanInputs() {
    std::vector<InputDevice> current = displayed(p_.machine.inputDevices());
    std::unordered_set<std::string> oldKeys, newKeys;
    for (const InputDevice& x : inputs_) {
        oldKeys.insert(x.key());
    }
    for (const InputDevice& x : current) {
        newKeys.insert(x.key());
    }

    const bool baseline = firstScan_ && knownInputs_.empty();
    bool knownChanged = false;
    // Devices choose their names, so a flood of made-up ones could grow the settings without
    // end: past the bound a device is not remembered, and is reported again when it returns.
    const auto remember = [&](const std::string& key) {
        if (knownInputs_.size() < maxStoredDevices) {
            knownChanged |= knownInputs_.insert(key).second;
        }
    };
    for (const InputDevice& x : current) {
        const std::string key = x.key();
        if (oldKeys.contains(key)) {
            continue;
        }
        if (baseline || x.builtIn) {
            remember(key);
        } else if (!knownInputs_.contains(key)) {
            const std::string kind = LocaleText::lowercased(x.kind);
            log(Event::Level::warning,
                "New " + kind + " connected: " + x.name + " via " + x.transport +
                    ". If you didn't plug in a " + kind + ", unplug devices now.",
                true);
            remember(key);
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
    if (inputs_ != current) {
        inputs_ = std::move(current);
        changed(Changes::inputs, false);
    }
}

void Monitor::keyDown(const Keyboard& kb, Timestamp pressedAt) {
    // Presses are counted at the time the kernel stamped them: after a stall of the main loop a
    // person's typing arrives all at once, but its presses keep their own times.
    const Timestamp now = pressedAt;
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

    // Written with a point whatever the process locale says (a desktop sets it, and some
    // locales write a comma).
    char length[16];
    const auto written = std::to_chars(length, length + sizeof length, Rules::injectionWindow);
    std::string text = "\u201c" + displayable(kb.name) + "\u201d typed " +
                       std::to_string(static_cast<long long>(keys)) + " keys in " +
                       std::string(length, written.ptr) + " seconds, faster than a person can. ";
    if (!autoPause_) {
        log(Event::Level::warning, text + "Auto-pause is off. Unplug it before you unlock.", true);
        return;
    }
    // The grab is immediate; the lock runs its tool off the main thread, and the report follows.
    const bool blocked = p_.keyboard.seize(kb.registryID);
    p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), blocked, text = std::move(text),
                             &machine = p_.machine]() -> Scheduler::Task {
        std::vector<std::string> actions;
        if (blocked) {
            actions.emplace_back("blocked its keystrokes");
        }
        if (machine.lockScreen()) {
            actions.emplace_back("locked your screen");
        }
        std::string line = text;
        if (!actions.empty()) {
            line += "Vantrel " + joined(actions, " and ") + ". ";
        }
        line += "Unplug it before you unlock.";
        return onMonitor(weak, [line = std::move(line)](Monitor& m) {
            m.log(Event::Level::warning, line, true);
        });
    });
}

} // namespace vantrel
