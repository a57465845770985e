#include "app/engine/scripted/ScriptedMachine.h"

namespace vantrel {
namespace {

template <typename Map, typename Key, typename Value>
Value lookup(const Map& map, const Key& key, Value fallback) {
    const auto found = map.find(key);
    return found == map.end() ? fallback : Value(found->second);
}

nlohmann::json optionalText(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

} // namespace

void ScriptedMachine::report(const std::string& name, nlohmann::json args,
                             nlohmann::json result) const {
    if (hook_) {
        hook_(name, std::move(args), std::move(result));
    }
}

std::map<std::string, IfCounters> ScriptedMachine::interfaceCounters() {
    std::map<std::string, IfCounters> counters;
    for (const NetInterface& net : state.nets) {
        counters[net.id] = net.counters;
    }
    return counters;
}

std::vector<NetInterface>
ScriptedMachine::networkInterfaces(const std::map<std::string, IfCounters>& counters) {
    std::vector<NetInterface> nets = state.nets;
    for (NetInterface& net : nets) {
        net.counters = lookup(counters, net.id, IfCounters{});
        net.inRate = 0;
        net.outRate = 0;
    }
    return nets;
}

std::vector<std::string> ScriptedMachine::serialUsers(const std::string& path) {
    auto users = lookup(state.serialUsers, path, std::vector<std::string>{});
    report("serialUsers", nlohmann::json::array({path}), users);
    return users;
}

std::vector<std::string> ScriptedMachine::mountedVolumes(const std::string& disk) {
    auto volumes = lookup(state.volumes, disk, std::vector<std::string>{});
    report("mountedVolumes", nlohmann::json::array({disk}), volumes);
    return volumes;
}

std::optional<std::string> ScriptedMachine::serviceName(const std::string& interfaceName) {
    auto service = lookup(state.results.serviceName, interfaceName, std::optional<std::string>{});
    report("serviceName", nlohmann::json::array({interfaceName}), optionalText(service));
    return service;
}

bool ScriptedMachine::ejectDisk(const std::string& disk) {
    const bool ok = lookup(state.results.ejectDisk, disk, true);
    report("ejectDisk", nlohmann::json::array({disk}), ok);
    return ok;
}

bool ScriptedMachine::setNetworkService(const std::string& service, bool on) {
    const bool ok = lookup(state.results.setNetworkService, service, true);
    report("setNetworkService", nlohmann::json::array({service, on}), ok);
    return ok;
}

bool ScriptedMachine::lockScreen() {
    report("lockScreen", nlohmann::json::array(), state.results.lockScreen);
    return state.results.lockScreen;
}

bool ScriptedMachine::allowDevice(const USBDevice& device, bool /*permanent*/) {
    const bool ok = lookup(state.results.allowDevice, device.id, true);
    report("allowDevice", nlohmann::json::array({device.id}), ok);
    return ok;
}

void ScriptedMachine::holdWhileLocked(bool on) {
    report("holdWhileLocked", nlohmann::json::array({on}), nullptr);
}

bool ScriptedKeyboardWatcher::seize(std::uint64_t registryID) {
    const bool ok = lookup(machine_.state.results.seize, registryID, true);
    machine_.report("seize", nlohmann::json::array({registryID}), ok);
    return ok;
}

bool ScriptedKeyboardWatcher::press(const Keyboard& keyboard, std::optional<Timestamp> at) {
    if (!running_ || !onKeyDown_) {
        return false;
    }
    const Timestamp pressedAt = at.value_or(clock_.now());
    Keyboard seen = keyboard;
    seen.firstSeen = firstSeen_.try_emplace(keyboard.registryID, pressedAt).first->second;
    onKeyDown_(seen, pressedAt);
    return true;
}

} // namespace vantrel
