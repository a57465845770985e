// The USB watch: departures, brief connections, arrivals, devices allowed at the prompt, the
// trusted baseline, new and returning devices, and the history and score of each device.
#include "app/engine/Displayed.h"
#include "app/engine/Monitor.h"
#include "core/ApprovedScope.h"
#include "core/PlatformText.h"

#include <cmath>
#include <ctime>
#include <unordered_set>

namespace vantrel {
namespace {

// The ports on the path from the root port: the non-zero hexadecimal digits of the low 24 bits.
int portDepth(std::int64_t locationID) {
    int depth = 0;
    for (int shift = 0; shift < 24; shift += 4) {
        if (((locationID >> shift) & 0xF) != 0) {
            ++depth;
        }
    }
    return depth;
}

} // namespace

void Monitor::scanUSB() {
    const Timestamp now = p_.clock.now();
    std::vector<USBDevice> current = displayed(p_.machine.usbDevices());
    std::unordered_set<std::uint64_t> currentIDs;
    for (const USBDevice& d : current) {
        currentIDs.insert(d.id);
    }

    // Departures.
    for (const USBDevice& old : usb_) {
        if (currentIDs.contains(old.id)) {
            continue;
        }
        if (old.blocked) {
            log(Event::Level::info, "Unplugged before it was allowed: " + old.label(), false,
                about(old));
        } else if (evaluated_.contains(old.id)) {
            log(Event::Level::info, "Disconnected: " + old.label(), false, about(old));
        } else {
            const auto seen = firstSeen_.find(old.id);
            const double stayed = now - (seen == firstSeen_.end() ? now : seen->second);
            // std::round takes halves away from zero.
            const auto seconds = static_cast<long long>(std::round(stayed));
            const bool risky = std::any_of(old.caps.begin(), old.caps.end(),
                                           [](Capability c) { return c.risky(); });
            log(risky ? Event::Level::warning : Event::Level::info,
                "Brief USB connection: " + old.label() + " appeared and vanished within " +
                    std::to_string(seconds) + "s. It claimed: " + old.capsText() + ".",
                risky, about(old));
        }
        firstSeen_.erase(old.id);
        evaluated_.erase(old.id);
    }

    // Arrivals: devices present at start count as settled at once.
    for (const USBDevice& d : current) {
        if (!firstSeen_.contains(d.id)) {
            firstSeen_[d.id] = firstScan_ ? Timestamp::distantPast() : now;
        }
    }

    // Allowed at the prompt: judged afresh once settled.
    for (const USBDevice& d : current) {
        if (d.blocked) {
            continue;
        }
        const bool wasBlocked = std::any_of(usb_.begin(), usb_.end(), [&](const USBDevice& old) {
            return old.id == d.id && old.blocked;
        });
        if (wasBlocked) {
            firstSeen_[d.id] = now;
            evaluated_.erase(d.id);
        }
    }

    if (usb_ != current) {
        usb_ = current;
        changed(Changes::usb, false);
    }

    const bool baseline = firstScan_ && knownUSB_.empty();
    bool knownChanged = false;
    bool recorded = false;
    for (const USBDevice& d : current) {
        if (evaluated_.contains(d.id) || d.blocked) {
            continue;
        }
        const auto seen = firstSeen_.find(d.id);
        if (now - (seen == firstSeen_.end() ? now : seen->second) < settleTime) {
            continue;
        }
        evaluated_.insert(d.id);
        const std::vector<std::string> codes = d.codes();
        const std::string key = d.key();
        recordHistory(d, now);
        recorded = true;

        if (baseline) {
            knownUSB_[key] = codes;
            knownChanged = true;
            continue;
        }

        if (auto known = knownUSB_.find(key); known != knownUSB_.end()) {
            const std::vector<std::string> approved = known->second;
            const ApprovedScope scope{{approved.begin(), approved.end()}, Timestamp::distantPast()};
            const std::vector<Capability> beyond = scope.outOfScope(d.caps);
            if (!beyond.empty()) {
                goneOutOfScope(d, beyond, approved);
            } else {
                if (outOfScope_.erase(key) > 0) {
                    changed(Changes::outOfScope, false);
                }
                if (!firstScan_) {
                    log(Event::Level::info, "Connected: " + d.label(), false, about(d));
                }
            }
            continue;
        }

        std::string text = "New USB device never seen before: " + d.label() + " from " + d.vendor +
                           ". It claims: " + d.capsText() + ".";
        if (portDepth(d.locationID) >= 2) {
            text += PlatformText::words(
                " It is plugged in behind a hub, so {os} may not have asked you about it.");
        }
        const TrustScore t = trust(d);
        log(Event::Level::warning, std::move(text), false, about(d, t.score));

        if (t.level != TrustScore::Level::safe) {
            notifyUser(t.title + ": " + d.name + ". " + t.summary + " Trust score " +
                       std::to_string(t.score) + ".");
        }
        knownUSB_[key] = codes;
        knownChanged = true;
    }

    if (baseline) {
        logBaseline(current.size());
    }
    if (recorded) {
        // One write of each for the whole scan, however many devices it recorded.
        knownChanged = boundStoredDevices() || knownChanged;
        saveHistory();
    }
    if (knownChanged) {
        saveKnownUSB();
    }

    // A device still settling is judged by a follow-up cycle.
    const bool settling = std::any_of(current.begin(), current.end(), [&](const USBDevice& d) {
        return !evaluated_.contains(d.id) && !d.blocked;
    });
    if (settling) {
        p_.scheduler.after(followUpDelay, guarded([](Monitor& m) { m.runCycle("follow-up"); }));
    }
}

void Monitor::recordHistory(const USBDevice& device, Timestamp now) {
    const std::string key = device.key();
    auto it = history_.find(key);
    if (it == history_.end()) {
        it = history_.emplace(key, DeviceHistory{0, now, now, {}}).first;
    }
    it->second.timesSeen += 1;
    it->second.lastSeen = now;
    it->second.lastCaps = device.codes();
    changed(Changes::usb, false); // the score is made of the history
}

bool Monitor::boundStoredDevices() {
    bool knownChanged = false;
    for (const std::string& key : devicesToDrop(history_, knownUSB_)) {
        history_.erase(key);
        knownChanged = knownUSB_.erase(key) > 0 || knownChanged;
    }
    return knownChanged;
}

void Monitor::logBaseline(std::size_t devices) {
    const std::string recorded = std::to_string(devices) + " connected USB devices as your ";
    if (!knownUSBUnreadable_) {
        log(Event::Level::info, "Vantrel started. Recorded " + recorded + "trusted baseline.",
            false);
        return;
    }
    // Nothing the person approved is lost (the file is kept aside before it is replaced), but
    // the devices plugged in now are trusted without their say: they are told at once.
    const auto when = static_cast<std::time_t>(std::floor(p_.clock.now().unixSeconds()));
    if (const auto& aside = settings_.keepAsideNow(when)) {
        log(Event::Level::warning,
            "Vantrel couldn't read its list of approved devices and kept it aside as " +
                aside->filename().string() + ". It recorded " + recorded +
                "new trusted baseline. Check that you know them.",
            true);
    } else {
        log(Event::Level::warning,
            "Vantrel couldn't read its list of approved devices in " +
                settings_.path().filename().string() +
                " and couldn't keep that file aside, so it won't replace it. It recorded " +
                recorded + "trusted baseline for now. Check that you know them.",
            true);
    }
}

TrustScore Monitor::trust(const USBDevice& device) const {
    const std::string key = device.key();
    std::optional<DeviceHistory> hist;
    if (auto it = history_.find(key); it != history_.end() && it->second.timesSeen > 1) {
        // A device seen only on this very plug-in has no history yet.
        hist = it->second;
    }
    if (hist) {
        if (auto beyond = outOfScope_.find(key); beyond != outOfScope_.end()) {
            // Scoring should see the capabilities beyond the scope as new.
            hist->lastCaps.clear();
            for (Capability c : device.caps) {
                if (std::find(beyond->second.begin(), beyond->second.end(), c) ==
                    beyond->second.end()) {
                    hist->lastCaps.emplace_back(c.code());
                }
            }
        }
    }
    return Trust::score(device.name, device.vendorID, device.caps, hist,
                        clock_.value_or(p_.clock.now()));
}

} // namespace vantrel
