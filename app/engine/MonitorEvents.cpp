// The event log: every finding becomes a dated entry, newest first, capped, saved after each
// change and, where it needs attention, posted as a desktop notification.
#include "app/engine/Monitor.h"

#include <algorithm>

namespace vantrel {

void Monitor::log(Event::Level level, std::string text, bool notify,
                  const std::optional<EventDevice>& device) {
    events_.insert(events_.begin(),
                   Event{newUUID(), p_.clock.now(), level, std::move(text), false});
    if (events_.size() > maxEvents) {
        events_.resize(maxEvents);
    }
    if (trace_.log) {
        trace_.log(events_.front(), notify);
    }
    changed(Changes::events);
    if (!persists_) {
        return;
    }
    eventStore_.save(events_);
    if (p_.sink != nullptr) {
        p_.sink->record(events_.front(), device);
    }
    if (notify) {
        notifyUser(events_.front().text);
    }
}

EventDevice Monitor::about(const USBDevice& device, std::optional<int> trustScore) {
    return EventDevice{device.key(), static_cast<int>(device.vendorID),
                       static_cast<int>(device.productID), trustScore};
}

std::optional<EventDevice> Monitor::requestedDevice(std::optional<int> trustScore) const {
    if (requestIDs_.size() != 1) {
        return std::nullopt;
    }
    const auto d = std::find_if(usb_.begin(), usb_.end(),
                                [&](const USBDevice& u) { return u.id == requestIDs_.front(); });
    if (d == usb_.end()) {
        return std::nullopt;
    }
    return about(*d, trustScore);
}

void Monitor::notifyUser(const std::string& text) {
    if (persists_) {
        p_.notifier.send(text);
    }
}

void Monitor::markAllReviewed() {
    bool marked = false;
    for (Event& e : events_) {
        marked = marked || !e.reviewed;
        e.reviewed = true;
    }
    if (!marked) {
        return;
    }
    changed(Changes::events);
    if (persists_) {
        eventStore_.save(events_);
    }
}

} // namespace vantrel
