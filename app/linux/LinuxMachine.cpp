#include "app/linux/LinuxMachine.h"

#include "app/linux/Actions.h"
#include "app/linux/Scanner.h"

namespace vantrel {

std::vector<USBDevice> LinuxMachine::usbDevices() {
    return Scanner::usbDevices();
}

std::vector<InputDevice> LinuxMachine::inputDevices() {
    return Scanner::inputDevices();
}

std::vector<PortInfo> LinuxMachine::ports() {
    return Scanner::ports();
}

bool LinuxMachine::openNetworkStore() {
    return Scanner::networkStoreAvailable();
}

std::map<std::string, IfCounters> LinuxMachine::interfaceCounters() {
    return Scanner::interfaceCounters();
}

std::vector<NetInterface>
LinuxMachine::networkInterfaces(const std::map<std::string, IfCounters>& counters) {
    return Scanner::networkInterfaces(counters);
}

NetConfig LinuxMachine::netConfig() {
    return Scanner::netConfig();
}

std::vector<std::string> LinuxMachine::serialUsers(const std::string& path) {
    return Actions::serialUsers(path);
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
    return Actions::setNetworkService(service, on);
}

bool LinuxMachine::lockScreen() {
    return Actions::lockScreen();
}

} // namespace vantrel
