// The accessory-prompt watch: ports and their authorisation, and the advice on the devices
// the kernel holds back while the user is asked whether to allow them.
#include "app/engine/Monitor.h"
#include "core/PlatformText.h"

namespace vantrel {

void Monitor::scanPorts() {
    std::vector<PortInfo> fresh = p_.machine.ports();
    if (!firstScan_) {
        for (const PortInfo& port : fresh) {
            const auto old = std::find_if(ports_.begin(), ports_.end(),
                                          [&](const PortInfo& o) { return o.id == port.id; });
            if (old != ports_.end() && port.authorization &&
                port.authorization != old->authorization && *port.authorization == "Authorized") {
                log(Event::Level::info, port.name + ": you allowed the connected accessory.",
                    false);
            }
        }
    }
    if (ports_ != fresh) {
        ports_ = std::move(fresh);
        changed(Changes::ports, false);
    }
    updateTrustRequest();
}

void Monitor::updateTrustRequest() {
    // A device refused stays refused while it stays plugged in; plugged in again it is new.
    std::erase_if(refused_, [&](std::uint64_t id) {
        return std::none_of(usb_.begin(), usb_.end(),
                            [&](const USBDevice& d) { return d.id == id; });
    });
    for (auto* ids : {&lockAllowed_, &allowed_}) {
        std::erase_if(*ids, [&](std::uint64_t id) {
            return std::none_of(usb_.begin(), usb_.end(),
                                [&](const USBDevice& d) { return d.id == id; });
        });
    }
    if (holdingWhileLocked_) {
        letInWhileLocked();
    }

    const auto pending =
        std::find_if(ports_.begin(), ports_.end(), [](const PortInfo& p) { return p.pending; });
    bool anyBlocked = false;
    std::vector<const USBDevice*> asked;
    for (const USBDevice& d : usb_) {
        if (!d.blocked) {
            continue;
        }
        anyBlocked = true;
        // The administrator's rule and the user's "Don't Allow" are answers already.
        if (!d.policyHeld && !refused_.contains(d.id)) {
            asked.push_back(&d);
        }
    }
    // While the session is locked nobody can answer: the prompt waits for the unlock.
    const bool open = pending != ports_.end() && (!asked.empty() || !anyBlocked) &&
                      !(holdingWhileLocked_ && !trustRequest_);
    if (open) {
        TrustRequest request{pending->name, {}};
        std::vector<std::uint64_t> ids;
        for (const USBDevice* d : asked) {
            std::optional<DeviceHistory> stored;
            if (auto it = history_.find(d->key()); it != history_.end()) {
                stored = it->second;
            }
            request.devices.push_back(
                PendingDevice{d->name, d->vendor, d->vendorID, d->productID, d->caps, stored});
            ids.push_back(d->id);
        }
        requestIDs_ = std::move(ids);
        if (trustRequest_ == request) {
            return;
        }
        const bool fresh = !trustRequest_ && p_.panel.asksSomeone();
        const Timestamp now = p_.clock.now();
        trustRequest_ = request;
        advice_ = Advisor::advise(request, now);
        p_.panel.show(request);
        changed(Changes::request, false);
        if (fresh) {
            const TrustScore trust = Trust::score(request, now).trust;
            log(trust.level == TrustScore::Level::danger ? Event::Level::warning
                                                         : Event::Level::info,
                PlatformText::words("{os} asked whether to allow ") + requestedWhat("a device") +
                    " on " + pending->name + ". Trust score " + std::to_string(trust.score) + ": " +
                    trust.title + ". " + trust.summary,
                false, requestedDevice(trust.score));
        }
        publish();
        return;
    }
    if (!trustRequest_) {
        return;
    }
    const std::string what = requestedWhat("the device");
    const auto port = std::find_if(ports_.begin(), ports_.end(), [&](const PortInfo& p) {
        return p.name == trustRequest_->portName;
    });
    // A port listed only while a device behind it is held back is gone once it is let in: the
    // devices themselves then tell the answer.
    const bool letIn =
        port != ports_.end()
            ? port->authorization == "Authorized"
            : !requestIDs_.empty() &&
                  std::all_of(requestIDs_.begin(), requestIDs_.end(), [&](std::uint64_t id) {
                      return std::any_of(usb_.begin(), usb_.end(), [&](const USBDevice& d) {
                          return d.id == id && !d.blocked;
                      });
                  });
    if (letIn) {
        log(Event::Level::info,
            "You allowed " + what + " on " + trustRequest_->portName +
                ". Vantrel is now watching what it does.",
            false, requestedDevice());
    } else if (port != ports_.end() && port->connected) {
        log(Event::Level::info,
            "You chose Don't Allow for " + what + ". It can still charge, but can't exchange data.",
            false, requestedDevice());
    }
    endTrustRequest();
}

void Monitor::endTrustRequest() {
    trustRequest_.reset();
    advice_.reset();
    requestIDs_.clear();
    p_.panel.hide();
    changed(Changes::request);
}

std::string Monitor::requestedWhat(std::string_view none) const {
    return !trustRequest_ || trustRequest_->devices.empty()
               ? std::string(none)
               : trustRequest_->devices.front().label();
}

void Monitor::allowPrompt() {
    if (!persists_ || !trustRequest_ || allowing_ || !canAllow_) {
        return;
    }
    std::vector<USBDevice> devices;
    for (const USBDevice& d : usb_) {
        if (std::find(requestIDs_.begin(), requestIDs_.end(), d.id) != requestIDs_.end() &&
            !allowed_.contains(d.id)) {
            devices.push_back(d);
        }
    }
    if (devices.empty()) {
        return;
    }
    allowing_ = true;
    // Let in for good, as a remembered accessory is: the policy engine also remembers the device,
    // so that it is not held back the next time. The prompt stays open until a scan sees it in.
    p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), &machine = p_.machine,
                             devices = std::move(devices), what = requestedWhat("the device"),
                             device = requestedDevice()] {
        bool ok = true;
        std::vector<std::uint64_t> allowed;
        for (const USBDevice& device : devices) {
            if (machine.allowDevice(device, true)) {
                allowed.push_back(device.id);
            } else {
                ok = false;
            }
        }
        return onMonitor(weak, [ok, what, allowed, device](Monitor& m) {
            m.allowing_ = false;
            m.allowed_.insert(allowed.begin(), allowed.end());
            if (!ok) {
                m.log(Event::Level::warning, "Couldn't allow " + what + ". It is still held back.",
                      false, device);
            }
        });
    });
}

void Monitor::refusePrompt() {
    if (!persists_ || !trustRequest_) {
        return;
    }
    // Nothing to send: the device stays held back, and is not asked about again while it stays.
    refused_.insert(requestIDs_.begin(), requestIDs_.end());
    log(Event::Level::info,
        "You chose Don't Allow for " + requestedWhat("the device") +
            ". It can still charge, but can't exchange data.",
        false, requestedDevice());
    endTrustRequest();
}

void Monitor::letInWhileLocked() {
    for (const USBDevice& d : usb_) {
        const bool keyboardOrHub =
            !d.caps.empty() && std::all_of(d.caps.begin(), d.caps.end(), [](Capability c) {
                return c == Capability::input || c == Capability::hub;
            });
        if (!d.blocked || d.policyHeld || !keyboardOrHub || lockAllowed_.contains(d.id)) {
            continue;
        }
        lockAllowed_.insert(d.id);
        const TrustScore trust = this->trust(d);
        p_.scheduler.background([weak = std::weak_ptr<Monitor*>(self_), &machine = p_.machine,
                                 device = d, trust] {
            const bool ok = machine.allowDevice(device, false);
            return onMonitor(weak, [ok, device, trust](Monitor& m) {
                if (!ok) {
                    // Not tried again: at the unlock it gets the prompt like any other.
                    m.log(Event::Level::warning,
                          "Couldn't allow " + device.label() + ". It is still held back.", false,
                          about(device));
                    return;
                }
                m.log(trust.level == TrustScore::Level::danger ? Event::Level::warning
                                                               : Event::Level::info,
                      "Let in " + device.label() +
                          " while the screen is locked, as it is only a keyboard, mouse or hub. "
                          "Trust score " +
                          std::to_string(trust.score) + ": " + trust.title +
                          ". The keystroke guard still watches it.",
                      false, about(device, trust.score));
            });
        });
    }
}

void Monitor::setHoldWhileLocked(bool on) {
    if (!persists_) {
        return;
    }
    holdWhileLocked_ = on;
    settings_.set("holdWhileLocked", on);
    p_.machine.holdWhileLocked(on);
    changed(Changes::switches);
}

bool Monitor::mayHoldWhileLocked() const {
    return persists_ && p_.machine.mayHoldWhileLocked();
}

} // namespace vantrel
