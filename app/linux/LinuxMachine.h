// The machine as the Monitor sees it on Linux: the probes read sysfs and procfs through the
// Scanner functions; the system actions run the desktop's tools through Actions.
#pragma once

#include "app/engine/Seams.h"

namespace vantrel {

class LinuxMachine final : public Machine {
  public:
    std::vector<USBDevice> usbDevices() override;
    std::vector<InputDevice> inputDevices() override;
    std::vector<PortInfo> ports() override;

    bool openNetworkStore() override;
    std::map<std::string, IfCounters> interfaceCounters() override;
    std::vector<NetInterface>
    networkInterfaces(const std::map<std::string, IfCounters>& counters) override;
    NetConfig netConfig() override;

    std::vector<std::string> serialUsers(const std::string& path) override;
    std::vector<std::string> mountedVolumes(const std::string& disk) override;
    std::optional<std::string> serviceName(const std::string& interfaceName) override;
    bool ejectDisk(const std::string& disk) override;
    bool setNetworkService(const std::string& service, bool on) override;
    bool lockScreen() override;
};

} // namespace vantrel
