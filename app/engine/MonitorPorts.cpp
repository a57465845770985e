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
    ports_ = std::move(fresh);
    updateTrustRequest();
}

void Monitor::updateTrustRequest() {
    const auto pending =
        std::find_if(ports_.begin(), ports_.end(), [](const PortInfo& p) { return p.pending; });
    if (pending != ports_.end()) {
        TrustRequest request{pending->name, {}};
        for (const USBDevice& d : usb_) {
            if (!d.blocked) {
                continue;
            }
            std::optional<DeviceHistory> stored;
            if (auto it = history_.find(d.key()); it != history_.end()) {
                stored = it->second;
            }
            request.devices.push_back(
                PendingDevice{d.name, d.vendor, d.vendorID, d.productID, d.caps, stored});
        }
        if (trustRequest_ == request) {
            return;
        }
        const bool fresh = !trustRequest_;
        const Timestamp now = p_.clock.now();
        trustRequest_ = request;
        advice_ = Advisor::advise(request, now);
        p_.panel.show(request);
        if (fresh) {
            const TrustScore trust = Trust::score(request, now).trust;
            const std::string what =
                request.devices.empty() ? "a device" : request.devices.front().label();
            log(trust.level == TrustScore::Level::danger ? Event::Level::warning
                                                         : Event::Level::info,
                PlatformText::words("{os} asked whether to allow ") + what + " on " +
                    pending->name + ". Trust score " + std::to_string(trust.score) + ": " +
                    trust.title + ". " + trust.summary,
                false);
        }
        changed();
        return;
    }
    if (!trustRequest_) {
        return;
    }
    const std::string what =
        trustRequest_->devices.empty() ? "the device" : trustRequest_->devices.front().label();
    const auto port = std::find_if(ports_.begin(), ports_.end(), [&](const PortInfo& p) {
        return p.name == trustRequest_->portName;
    });
    if (port != ports_.end()) {
        if (port->authorization == "Authorized") {
            log(Event::Level::info,
                "You allowed " + what + " on " + trustRequest_->portName +
                    ". Vantrel is now watching what it does.",
                false);
        } else if (port->connected) {
            log(Event::Level::info,
                "You chose Don't Allow for " + what +
                    ". It can still charge, but can't exchange data.",
                false);
        }
    }
    trustRequest_.reset();
    advice_.reset();
    p_.panel.hide();
    changed();
}

} // namespace vantrel

namespace vantrel {

void Monitor::allowPrompt() {}
void Monitor::refusePrompt() {}
void Monitor::setHoldWhileLocked(bool on) {
    holdWhileLocked_ = on;
}
bool Monitor::mayHoldWhileLocked() const {
    return p_.machine.mayHoldWhileLocked();
}

} // namespace vantrel
