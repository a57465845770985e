// A replay scenario, read and checked as a whole before anything runs.
#pragma once

#include "app/engine/Devices.h"
#include "app/engine/scripted/ScriptedMachine.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantrel::replay {

// The parts of the scripted machine a step replaces; parts left out keep their value.
struct MachinePatch {
    std::optional<std::vector<USBDevice>> usb;
    std::optional<std::vector<InputDevice>> inputs;
    std::optional<std::vector<PortInfo>> ports;
    std::optional<std::vector<NetInterface>> nets;
    std::optional<NetConfig> config;
    std::optional<bool> networkStore;
    std::optional<std::map<std::string, std::vector<std::string>>> serialUsers;
    std::optional<std::map<std::string, std::vector<std::string>>> volumes;
    std::optional<bool> inputAccess;
    std::optional<MachineResults> results;

    void applyTo(MachineState& state) const;
};

struct KeyPresses {
    Keyboard keyboard;
    std::vector<double> times; // seconds after the scenario's start, none before the step
};

struct Call {
    std::string name;
    std::optional<std::uint64_t> device; // the USB device id, for the operations on one device
    std::optional<bool> value;           // for setAutoPause and setKeystrokeGuard
};

struct Step {
    double at = 0; // seconds after the scenario's start
    std::optional<nlohmann::json> defaults;
    std::optional<std::string> eventsFile;
    std::optional<MachinePatch> machine;
    bool launch = false;
    bool restart = false;
    bool deviceChange = false;
    std::vector<KeyPresses> keys;
    std::optional<Call> call;
    bool end = false;
};

struct Scenario {
    static constexpr double defaultStart = 813147840; // 2026-10-08 10:24:00 UTC
    double start = defaultStart;                      // seconds since 2001-01-01 UTC
    std::vector<Step> steps;                          // the last one ends the run
};

// The scenario `document` describes, or none with the first fault in `error` as
// "{where}: {why}", such as "steps[2].at: before the previous step (5)".
std::optional<Scenario> readScenario(const nlohmann::json& document, std::string& error);

} // namespace vantrel::replay
