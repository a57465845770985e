// The machine as the Monitor sees it on Linux: the probes read sysfs and procfs through the
// Scanner functions; the system actions run the desktop's tools through Actions, and the device
// policy daemon, where one is given, holds new devices back and lets them in.
#pragma once

#include "app/engine/Seams.h"
#include "app/linux/Actions.h"
#include "app/linux/DevicePolicy.h"
#include "app/linux/InputCache.h"
#include "app/linux/NetCache.h"
#include "app/linux/UsbCache.h"

namespace vantrel {

class LinuxMachine final : public Machine {
  public:
    // `policy`, when given, must outlive the machine. `acting` says for whom the actions that
    // need rights act: the desktop session, or (the headless guard) the system service.
    explicit LinuxMachine(DevicePolicy* policy = nullptr,
                          Actions::Acting acting = Actions::Acting::forSession)
        : policy_(policy), acting_(acting) {}

    std::vector<USBDevice> usbDevices() override;
    std::vector<InputDevice> inputDevices() override;
    std::vector<PortInfo> ports() override;

    bool openNetworkStore() override;
    std::map<std::string, IfCounters> interfaceCounters() override;
    std::vector<NetInterface>
    networkInterfaces(const std::map<std::string, IfCounters>& counters) override;
    NetConfig netConfig() override;

    std::vector<std::string> serialUsers(const std::string& path) override;
    std::map<std::string, std::vector<std::string>>
    serialUsersOf(const std::vector<std::string>& paths) override;
    std::vector<std::string> mountedVolumes(const std::string& disk) override;
    std::optional<std::string> serviceName(const std::string& interfaceName) override;
    bool ejectDisk(const std::string& disk) override;
    bool setNetworkService(const std::string& service, bool on) override;
    bool lockScreen() override;

    bool canAllow() override;
    bool allowDevice(const USBDevice& device, bool permanent) override;
    bool mayHoldWhileLocked() override;
    void holdWhileLocked(bool on) override;
    bool holdingWhileLocked() override;

  private:
    DevicePolicy* policy_;
    Actions::Acting acting_;
    // What the USB scan keeps of the devices attached between cycles.
    Scanner::UsbCache usbCache_;
    // What the input scan keeps of the input devices attached between cycles.
    Scanner::InputCache inputCache_;
    // What the network scan keeps of the interfaces and resolver files between cycles.
    Scanner::NetCache netCache_;
};

} // namespace vantrel
