// Puts the machine's event descriptors on Qt's event loop: the udev device-change monitor, which
// triggers a scan cycle, and the keyboard watcher's event devices, which carry key presses.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QSocketNotifier>

namespace vantrel {

class DeviceEvents;
class KeystrokeGuard;

class MachineWatch {
  public:
    // Both must outlive the watch. `deviceChanged` runs once per burst of device changes, after
    // the keyboard watcher has looked for new keyboards.
    MachineWatch(DeviceEvents& events, KeystrokeGuard& keyboard,
                 std::function<void()> deviceChanged);
    ~MachineWatch();
    MachineWatch(const MachineWatch&) = delete;
    MachineWatch& operator=(const MachineWatch&) = delete;

  private:
    void watchKeyboards();

    DeviceEvents& events_;
    KeystrokeGuard& keyboard_;
    std::function<void()> deviceChanged_;
    std::unique_ptr<QSocketNotifier> devices_;
    std::vector<QSocketNotifier*> keys_;
};

} // namespace vantrel
