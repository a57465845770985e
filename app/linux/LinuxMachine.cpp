#include "app/linux/LinuxMachine.h"

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

// The system actions are not wired in yet: until they are, nothing is found and nothing is done.
std::vector<std::string> LinuxMachine::serialUsers(const std::string&) {
    return {};
}

std::vector<std::string> LinuxMachine::mountedVolumes(const std::string&) {
    return {};
}

std::optional<std::string> LinuxMachine::serviceName(const std::string&) {
    return std::nullopt;
}

bool LinuxMachine::ejectDisk(const std::string&) {
    return false;
}

bool LinuxMachine::setNetworkService(const std::string&, bool) {
    return false;
}

bool LinuxMachine::lockScreen() {
    return false;
}

} // namespace vantrel
