#include "app/shell/HeadlessPanel.h"

#include "app/engine/Monitor.h"
#include "core/Trust.h"

#include <algorithm>
#include <string>

namespace vantrel {

void HeadlessPanel::attach(Monitor& monitor) {
    monitor_ = &monitor;
    if (waiting_) {
        const TrustRequest request = *waiting_;
        waiting_.reset();
        logHeldBack(request);
    }
}

void HeadlessPanel::show(const TrustRequest& request) {
    // The Monitor shows the panel again whenever the request changes (another device behind the
    // same port); the line is written when the prompt opens.
    if (open_) {
        return;
    }
    open_ = true;
    if (monitor_ == nullptr) {
        waiting_ = request;
        return;
    }
    logHeldBack(request);
}

void HeadlessPanel::hide() {
    open_ = false;
    waiting_.reset();
}

void HeadlessPanel::logHeldBack(const TrustRequest& request) {
    const RequestScore scored = Trust::score(request, monitor_->now());
    const TrustScore& trust = scored.trust;
    std::optional<EventDevice> concerned;
    if (scored.device) {
        const PendingDevice& pending = *scored.device;
        const auto& usb = monitor_->usb();
        const auto found = std::find_if(usb.begin(), usb.end(), [&](const USBDevice& d) {
            return d.blocked && d.name == pending.name && d.vendorID == pending.vendorID &&
                   d.productID == pending.productID;
        });
        if (found != usb.end()) {
            concerned = EventDevice{found->key(), static_cast<int>(found->vendorID),
                                    static_cast<int>(found->productID), trust.score};
        }
    }
    const std::string label = scored.device ? scored.device->label() : "A device";
    monitor_->log(trust.level == TrustScore::Level::danger ? Event::Level::warning
                                                           : Event::Level::info,
                  label + " is held back on " + request.portName + ". Trust score " +
                      std::to_string(trust.score) + ": " + trust.title + ". " + trust.summary,
                  false, concerned);
}

} // namespace vantrel
