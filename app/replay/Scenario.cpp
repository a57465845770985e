#include "app/replay/Scenario.h"

#include "app/replay/ReplayJSON.h"

#include <charconv>

namespace vantrel::replay {
namespace {

using nlohmann::json;

std::string indexed(const std::string& where, std::size_t i) {
    return where + "[" + std::to_string(i) + "]";
}

// An array of records, each read by `readOne`.
template <typename Record, typename Read>
std::optional<std::vector<Record>> records(const json& value, const std::string& where,
                                           std::string& error, Read readOne) {
    if (!value.is_array()) {
        error = where + ": expected an array";
        return std::nullopt;
    }
    std::vector<Record> list;
    for (std::size_t i = 0; i < value.size(); ++i) {
        auto record = readOne(value[i], indexed(where, i), error);
        if (!record) {
            return std::nullopt;
        }
        list.push_back(std::move(*record));
    }
    return list;
}

// An object whose every member is read by `readOne` (which notes its own faults).
template <typename Value, typename Read>
std::optional<std::map<std::string, Value>> byName(const json& value, const std::string& where,
                                                   std::string& error, const char* wanted,
                                                   Read readOne) {
    if (!value.is_object()) {
        error = where + ": expected an object of " + wanted;
        return std::nullopt;
    }
    std::map<std::string, Value> map;
    for (const auto& [key, member] : value.items()) {
        auto read = readOne(member);
        if (!read) {
            error = memberPath(where, key) + ": expected " + wanted;
            return std::nullopt;
        }
        map.emplace(key, std::move(*read));
    }
    return map;
}

std::optional<std::vector<std::string>> stringList(const json& value) {
    if (!value.is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> list;
    for (const json& e : value) {
        if (!e.is_string()) {
            return std::nullopt;
        }
        list.push_back(e.get<std::string>());
    }
    return list;
}

std::optional<bool> flag(const json& value) {
    return value.is_boolean() ? std::optional(value.get<bool>()) : std::nullopt;
}

// A registry id written as decimal digits or "0x" and hexadecimal digits.
std::optional<std::uint64_t> registryKey(const std::string& key) {
    std::string ignored;
    if (key.starts_with("0x")) {
        return readUnsigned(json(key), "", ignored);
    }
    std::uint64_t id = 0;
    const auto [end, fault] = std::from_chars(key.data(), key.data() + key.size(), id);
    if (key.empty() || fault != std::errc() || end != key.data() + key.size()) {
        return std::nullopt;
    }
    return id;
}

std::optional<MachineResults> resultsFrom(const json& value, const std::string& where,
                                          std::string& error) {
    MachineResults results;
    Members m(
        value, where, error,
        {"ejectDisk", "lockScreen", "serviceName", "setNetworkService", "seize", "allowDevice"});
    if (const json* v = m.find("ejectDisk")) {
        if (auto read = byName<bool>(*v, m.path("ejectDisk"), error, "true or false", flag)) {
            results.ejectDisk = std::move(*read);
        }
    }
    m.boolean("lockScreen", results.lockScreen);
    if (const json* v = m.find("serviceName")) {
        auto service = [](const json& e) -> std::optional<std::optional<std::string>> {
            if (e.is_null()) {
                return std::optional<std::string>();
            }
            if (e.is_string()) {
                return std::optional<std::string>(e.get<std::string>());
            }
            return std::nullopt;
        };
        if (auto read = byName<std::optional<std::string>>(*v, m.path("serviceName"), error,
                                                           "a string or null", service)) {
            results.serviceName = std::move(*read);
        }
    }
    if (const json* v = m.find("setNetworkService")) {
        if (auto read =
                byName<bool>(*v, m.path("setNetworkService"), error, "true or false", flag)) {
            results.setNetworkService = std::move(*read);
        }
    }
    if (const json* v = m.find("seize")) {
        if (auto read = byName<bool>(*v, m.path("seize"), error, "true or false", flag)) {
            for (const auto& [key, ok] : *read) {
                const auto id = registryKey(key);
                if (!id) {
                    m.fail(memberPath(m.path("seize"), key),
                           "expected a registry id (decimal, or \"0x…\") as the name");
                    break;
                }
                results.seize[*id] = ok;
            }
        }
    }
    if (const json* v = m.find("allowDevice")) {
        if (auto read = byName<bool>(*v, m.path("allowDevice"), error, "true or false", flag)) {
            for (const auto& [key, ok] : *read) {
                const auto id = registryKey(key);
                if (!id) {
                    m.fail(memberPath(m.path("allowDevice"), key),
                           "expected a USB device id (decimal, or \"0x…\") as the name");
                    break;
                }
                results.allowDevice[*id] = ok;
            }
        }
    }
    return m.ok() ? std::optional(std::move(results)) : std::nullopt;
}

std::optional<MachinePatch> machineFrom(const json& value, const std::string& where,
                                        std::string& error) {
    MachinePatch patch;
    Members m(value, where, error,
              {"usb", "inputs", "ports", "nets", "config", "networkStore", "serialUsers", "volumes",
               "inputAccess", "results", "canAllow"});
    if (const json* v = m.find("usb")) {
        patch.usb = records<USBDevice>(*v, m.path("usb"), error, usbDeviceFrom);
    }
    if (const json* v = m.find("inputs")) {
        patch.inputs = records<InputDevice>(*v, m.path("inputs"), error, inputDeviceFrom);
    }
    if (const json* v = m.find("ports")) {
        patch.ports = records<PortInfo>(*v, m.path("ports"), error, portFrom);
    }
    if (const json* v = m.find("nets")) {
        patch.nets = records<NetInterface>(*v, m.path("nets"), error, netFrom);
    }
    if (const json* v = m.find("config")) {
        patch.config = netConfigFrom(*v, m.path("config"), error);
    }
    if (m.find("networkStore")) {
        m.boolean("networkStore", patch.networkStore.emplace());
    }
    if (const json* v = m.find("serialUsers")) {
        patch.serialUsers = byName<std::vector<std::string>>(*v, m.path("serialUsers"), error,
                                                             "an array of strings", stringList);
    }
    if (const json* v = m.find("volumes")) {
        patch.volumes = byName<std::vector<std::string>>(*v, m.path("volumes"), error,
                                                         "an array of strings", stringList);
    }
    if (m.find("inputAccess")) {
        m.boolean("inputAccess", patch.inputAccess.emplace());
    }
    if (m.find("canAllow")) {
        m.boolean("canAllow", patch.canAllow.emplace());
    }
    if (const json* v = m.find("results")) {
        patch.results = resultsFrom(*v, m.path("results"), error);
    }
    return m.ok() ? std::optional(std::move(patch)) : std::nullopt;
}

// "{n}" as JSON prints it.
std::string shown(double n) {
    json value = n;
    wholeNumbers(value);
    return value.dump();
}

const std::string tooManyPresses =
    "more than " + std::to_string(Limits::presses) + " key presses in the scenario";

// `pressed` counts the presses of the scenario so far; no more are expanded than it may hold.
std::optional<KeyPresses> pressesFrom(const json& value, const std::string& where, double at,
                                      std::size_t& pressed, std::string& error) {
    KeyPresses presses;
    Members m(value, where, error, {"keyboard", "times", "count", "interval"});
    const json* keyboard = m.find("keyboard");
    const json* times = m.find("times");
    const json* count = m.find("count");
    const json* interval = m.find("interval");
    if (!m.ok()) {
        return std::nullopt;
    }
    if (!keyboard) {
        m.fail(m.path("keyboard"), "missing");
    } else if (auto read = keyboardFrom(*keyboard, m.path("keyboard"), error)) {
        presses.keyboard = *read;
    }
    if (times && (count || interval)) {
        m.fail(m.path(count ? "count" : "interval"), "not together with \"times\"");
    } else if (times) {
        if (!times->is_array() || times->empty()) {
            m.fail(m.path("times"), "expected a non-empty array of seconds");
        } else if (times->size() > Limits::presses - pressed) {
            m.fail(m.path("times"), tooManyPresses);
        }
        for (std::size_t i = 0; m.ok() && i < times->size(); ++i) {
            const std::string place = indexed(m.path("times"), i);
            auto t = readSeconds((*times)[i], place, error, 0, Limits::at);
            if (t && *t < at) {
                m.fail(place, "before the step's at (" + shown(at) + ")");
            } else if (t) {
                presses.times.push_back(*t);
            }
        }
    } else if (count || interval) {
        if (!count || !interval) {
            m.fail(m.path(count ? "interval" : "count"), "missing (\"count\" needs \"interval\")");
            return std::nullopt;
        }
        const auto n = readInteger(*count, m.path("count"), error);
        if (n && *n < 1) {
            m.fail(m.path("count"), "expected at least 1 press");
        } else if (n && static_cast<std::uint64_t>(*n) > Limits::presses - pressed) {
            m.fail(m.path("count"), tooManyPresses);
        }
        const auto step = readSeconds(*interval, m.path("interval"), error, 0, Limits::at);
        if (m.ok() && at + static_cast<double>(*n - 1) * *step > Limits::at) {
            m.fail(m.path("interval"), "the last press would come after " + shown(Limits::at));
        }
        for (std::int64_t i = 0; m.ok() && i < *n; ++i) {
            presses.times.push_back(at + static_cast<double>(i) * *step);
        }
    } else {
        m.fail(where, "expected \"times\", or \"count\" with \"interval\"");
    }
    if (!m.ok()) {
        return std::nullopt;
    }
    pressed += presses.times.size();
    return presses;
}

bool takesDevice(std::string_view call) {
    return call == "approveScope" || call == "forget" || call == "ejectDisks" ||
           call == "pauseNetwork" || call == "resumeNetwork";
}

bool takesNothing(std::string_view call) {
    return call == "markAllReviewed" || call == "allowPrompt" || call == "refusePrompt";
}

bool takesValue(std::string_view call) {
    return call == "setAutoPause" || call == "setKeystrokeGuard";
}

void readCall(Members& m, Step& step) {
    const json* call = m.find("call");
    const json* device = m.find("device");
    const json* value = m.find("value");
    if (!call) {
        if (device || value) {
            m.fail(m.path(device ? "device" : "value"), "only together with \"call\"");
        }
        return;
    }
    if (!call->is_string() ||
        !(takesDevice(call->get<std::string>()) || takesValue(call->get<std::string>()) ||
          takesNothing(call->get<std::string>()))) {
        m.fail(m.path("call"), "expected one of approveScope, forget, ejectDisks, pauseNetwork, "
                               "resumeNetwork, markAllReviewed, setAutoPause, setKeystrokeGuard, "
                               "allowPrompt, refusePrompt");
        return;
    }
    Call c{call->get<std::string>(), {}, {}};
    if (takesDevice(c.name) != (device != nullptr)) {
        m.fail(m.path("device"),
               device ? "not used by " + c.name : "missing (" + c.name + " needs a USB device id)");
    } else if (takesValue(c.name) != (value != nullptr)) {
        m.fail(m.path("value"),
               value ? "not used by " + c.name : "missing (" + c.name + " needs true or false)");
    } else if (device) {
        std::uint64_t id = 0;
        m.unsignedInteger("device", id);
        c.device = id;
    } else if (value) {
        m.boolean("value", c.value.emplace());
    }
    step.call = std::move(c);
}

// A member that can only be true.
void onlyTrue(Members& m, std::string_view key, bool& out) {
    if (const json* v = m.find(key)) {
        if (*v == json(true)) {
            out = true;
        } else {
            m.fail(m.path(key), "expected true");
        }
    }
}

std::optional<Step> stepFrom(const json& value, const std::string& where, double previousAt,
                             std::size_t& pressed, std::string& error) {
    Step step;
    Members m(value, where, error,
              {"at", "defaults", "eventsFile", "machine", "launch", "restart", "deviceChange",
               "keys", "call", "device", "value", "end"});
    if (!m.ok()) {
        return std::nullopt;
    }
    if (value.size() == 1 && m.find("at")) {
        m.fail(where, "expected something to happen besides \"at\"");
    }
    if (const json* at = m.find("at")) {
        if (auto read = readSeconds(*at, m.path("at"), error, 0, Limits::at)) {
            step.at = *read;
            if (step.at < previousAt) {
                m.fail(m.path("at"), "before the previous step (" + shown(previousAt) + ")");
            }
        }
    } else {
        m.fail(m.path("at"), "missing");
    }
    if (const json* defaults = m.find("defaults")) {
        if (defaults->is_object()) {
            step.defaults = *defaults;
        } else {
            m.fail(m.path("defaults"), "expected an object");
        }
    }
    if (m.find("eventsFile")) {
        m.string("eventsFile", step.eventsFile.emplace());
    }
    if (const json* machine = m.find("machine")) {
        step.machine = machineFrom(*machine, m.path("machine"), error);
    }
    onlyTrue(m, "launch", step.launch);
    onlyTrue(m, "restart", step.restart);
    onlyTrue(m, "deviceChange", step.deviceChange);
    if (const json* keys = m.find("keys")) {
        if (keys->is_array()) {
            for (std::size_t i = 0; m.ok() && i < keys->size(); ++i) {
                if (auto presses = pressesFrom((*keys)[i], indexed(m.path("keys"), i), step.at,
                                               pressed, error)) {
                    step.keys.push_back(std::move(*presses));
                }
            }
        } else if (auto presses = pressesFrom(*keys, m.path("keys"), step.at, pressed, error)) {
            step.keys.push_back(std::move(*presses));
        }
    }
    readCall(m, step);
    onlyTrue(m, "end", step.end);
    return m.ok() ? std::optional(std::move(step)) : std::nullopt;
}

// Whether the steps launch, restart and use the Monitor in an order that can run.
void checkLifecycle(const std::vector<Step>& steps, std::string& error) {
    bool running = false;
    for (std::size_t i = 0; i < steps.size() && error.empty(); ++i) {
        const Step& s = steps[i];
        const std::string where = indexed("steps", i);
        auto needsMonitor = [&](bool uses, const char* key) {
            if (uses && !running && error.empty()) {
                error = memberPath(where, key) + ": no Monitor is running (launch it first)";
            }
        };
        if (s.launch && running) {
            error = where + ".launch: a Monitor is already running (restart it instead)";
        }
        running = running || s.launch;
        needsMonitor(s.restart, "restart");
        needsMonitor(s.deviceChange, "deviceChange");
        needsMonitor(s.call.has_value(), "call");
        needsMonitor(s.end, "end");
        if (s.end && i + 1 < steps.size() && error.empty()) {
            error = where + ".end: only the last step may end the run";
        }
        if (!s.end && i + 1 == steps.size() && error.empty()) {
            error = where + ".end: missing (the last step must end the run)";
        }
    }
}

} // namespace

void MachinePatch::applyTo(MachineState& state) const {
    auto replace = [](const auto& part, auto& into) {
        if (part) {
            into = *part;
        }
    };
    replace(usb, state.usb);
    replace(inputs, state.inputs);
    replace(ports, state.ports);
    replace(nets, state.nets);
    replace(config, state.config);
    replace(networkStore, state.networkStore);
    replace(serialUsers, state.serialUsers);
    replace(volumes, state.volumes);
    replace(inputAccess, state.inputAccess);
    replace(canAllow, state.canAllow);
    replace(results, state.results);
}

std::optional<Scenario> readScenario(const json& document, std::string& error) {
    Scenario scenario;
    Members m(document, "", error, {"start", "steps"});
    if (const json* start = m.find("start")) {
        if (auto read = readSeconds(*start, "start", error, 0, Limits::start)) {
            scenario.start = *read;
        }
    }
    const json* steps = m.find("steps");
    if (!m.ok()) {
        return std::nullopt;
    }
    if (!steps || !steps->is_array() || steps->empty()) {
        m.fail("steps", steps ? "expected a non-empty array of steps" : "missing");
        return std::nullopt;
    }
    if (steps->size() > Limits::steps) {
        m.fail("steps", "more than " + std::to_string(Limits::steps) + " steps");
        return std::nullopt;
    }
    double previousAt = 0;
    std::size_t pressed = 0;
    for (std::size_t i = 0; i < steps->size(); ++i) {
        auto step = stepFrom((*steps)[i], indexed("steps", i), previousAt, pressed, error);
        if (!step) {
            return std::nullopt;
        }
        previousAt = step->at;
        scenario.steps.push_back(std::move(*step));
    }
    checkLifecycle(scenario.steps, error);
    return error.empty() ? std::optional(std::move(scenario)) : std::nullopt;
}

} // namespace vantrel::replay
