#include "app/shell/MachineWatch.h"

#include "app/linux/DeviceEvents.h"
#include "app/linux/KeystrokeGuard.h"

namespace vantrel {

MachineWatch::MachineWatch(DeviceEvents& events, KeystrokeGuard& keyboard,
                           std::function<void()> deviceChanged)
    : events_(events), keyboard_(keyboard), deviceChanged_(std::move(deviceChanged)) {
    if (events_.fd() >= 0) {
        devices_ = std::make_unique<QSocketNotifier>(events_.fd(), QSocketNotifier::Read);
        QObject::connect(devices_.get(), &QSocketNotifier::activated, devices_.get(), [this] {
            if (events_.drain()) {
                keyboard_.rescan();
                deviceChanged_();
            }
        });
    }
    keyboard_.setDescriptorsChanged([this] { watchKeyboards(); });
    watchKeyboards();
}

MachineWatch::~MachineWatch() {
    keyboard_.setDescriptorsChanged({});
    for (QSocketNotifier* notifier : keys_) {
        delete notifier;
    }
}

void MachineWatch::watchKeyboards() {
    // This can run from inside one of these notifiers' own signal (a keyboard pulled out is
    // closed while it is read), so the old ones are switched off now and deleted later.
    for (QSocketNotifier* notifier : keys_) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    keys_.clear();
    for (const int fd : keyboard_.descriptors()) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                         [this, fd] { keyboard_.readable(fd); });
        keys_.push_back(notifier);
    }
}

} // namespace vantrel
