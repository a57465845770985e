#include "app/linux/LinuxMachine.h"

#include "app/linux/Actions.h"
#include "app/linux/Scanner.h"

namespace vantrel {

std::vector<USBDevice> LinuxMachine::usbDevices() {
    return policy_ != nullptr && policy_->answers()
               ? Scanner::usbDevices(usbCache_, policy_->heldByRule())
               : Scanner::usbDevices(usbCache_);
}

std::vector<InputDevice> LinuxMachine::inputDevices() {
    return Scanner::inputDevices(inputCache_);
}

std::vector<PortInfo> LinuxMachine::ports() {
    // The Monitor scans the ports right after the USB devices, so the flags the USB scan has just
    // read are current.
    return Scanner::ports(policy_ != nullptr && policy_->answers(), &usbCache_);
}

bool LinuxMachine::openNetworkStore() {
    return Scanner::networkStoreAvailable();
}

std::map<std::string, IfCounters> LinuxMachine::interfaceCounters() {
    return Scanner::interfaceCounters(netCache_);
}

std::vector<NetInterface>
LinuxMachine::networkInterfaces(const std::map<std::string, IfCounters>& counters) {
    return Scanner::networkInterfaces(counters, netCache_);
}

NetConfig LinuxMachine::netConfig() {
    return Scanner::netConfig(netCache_);
}

std::vector<std::string> LinuxMachine::serialUsers(const std::string& path) {
    return Actions::serialUsers(path);
}

std::map<std::string, std::vector<std::string>>
LinuxMachine::serialUsersOf(const std::vector<std::string>& paths) {
    return Actions::serialUsers(paths);
}

std::vector<std::string> LinuxMachine::mountedVolumes(const std::string& disk) {
    return Actions::mountedVolumes(disk);
}

std::optional<std::string> LinuxMachine::serviceName(const std::string& interfaceName) {
    return Actions::serviceName(interfaceName);
}

bool LinuxMachine::ejectDisk(const std::string& disk) {
    return Actions::ejectDisk(disk);
}

bool LinuxMachine::setNetworkService(const std::string& service, bool on) {
    return Actions::setNetworkService(service, on, acting_);
}

bool LinuxMachine::lockScreen() {
    return Actions::lockScreen(acting_);
}

bool LinuxMachine::canAllow() {
    return policy_ != nullptr && policy_->answers();
}

bool LinuxMachine::allowDevice(const USBDevice& device, bool permanent) {
    if (policy_ == nullptr) {
        return false;
    }
    const auto name = Scanner::kernelName(device.id);
    return name && policy_->allow(*name, permanent);
}

bool LinuxMachine::mayHoldWhileLocked() {
    return policy_ != nullptr && policy_->mayHoldWhileLocked();
}

void LinuxMachine::holdWhileLocked(bool on) {
    if (policy_ != nullptr) {
        policy_->holdWhileLocked(on);
    }
}

bool LinuxMachine::holdingWhileLocked() {
    return policy_ != nullptr && policy_->holdingWhileLocked();
}

} // namespace vantrel
