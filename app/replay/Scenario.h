// A replay scenario, read and checked as a whole before anything runs.
#pragma once

#include "app/engine/Devices.h"
#include "app/engine/scripted/ScriptedMachine.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
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
    std::optional<bool> canAllow;
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

// The bounds of a scenario; one past them is refused as a whole, before anything runs.
struct Limits {
    static constexpr std::size_t fileBytes = 16 * 1024 * 1024;
    static constexpr int depth = 64;                // arrays and objects inside one another
    static constexpr double start = 3.2e9;          // the latest origin, in seconds since 2001
    static constexpr double at = 604800;            // one week of virtual time after the origin
    static constexpr std::size_t presses = 1000000; // key presses in all
    static constexpr std::size_t steps = 100000;
};

struct Scenario {
    static constexpr double defaultStart = 813147840; // 2026-10-08 10:24:00 UTC
    double start = defaultStart;                      // seconds since 2001-01-01 UTC
    std::vector<Step> steps;                          // the last one ends the run
};

// The scenario `document` describes, or none with the first fault in `error` as
// "{where}: {why}", such as "steps[2].at: before the previous step (5)". Key presses are expanded
// only while they stay within Limits::presses.
std::optional<Scenario> readScenario(const nlohmann::json& document, std::string& error);

// The JSON document in the scenario file `file`, read within Limits::fileBytes and
// Limits::depth; none with the fault in `error` as "{file}: {why}".
std::optional<nlohmann::json> readScenarioFile(const std::filesystem::path& file,
                                               std::string& error);

} // namespace vantrel::replay
