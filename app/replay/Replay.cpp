#include "app/replay/Replay.h"

#include "app/engine/AtomicFile.h"
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/replay/ReplayJSON.h"
#include "app/replay/Scenario.h"
#include "app/replay/StateFolder.h"
#include "core/Displayable.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

using nlohmann::json;
using replay::Scenario;
using replay::Step;

// A fault that stops a run: where it is and why, as "replay: {where}: {why}" prints them.
struct Fault {
    std::string where;
    std::string why;
};

// `object` with its keys displayable: a device's key holds the serial the device gave.
json shownKeys(const json& object) {
    json shown = json::object();
    for (const auto& [key, value] : object.items()) {
        shown[displayable(key)] = value;
    }
    return shown;
}

// `value` with every string in it displayable: what the machine was asked and answered holds
// names that devices and their file systems chose.
json shownStrings(json value) {
    if (value.is_string()) {
        return displayable(value.get<std::string>());
    }
    // A number or a boolean iterates as a range of itself.
    if (!value.is_structured()) {
        return value;
    }
    for (auto& inner : value) {
        inner = shownStrings(std::move(inner));
    }
    return value;
}

json shownTexts(const std::set<std::string>& texts) {
    json shown = json::array();
    for (const std::string& text : texts) {
        shown.push_back(displayable(text));
    }
    return shown;
}

json stringMap(const std::map<std::string, std::vector<std::string>>& map) {
    json object = json::object();
    for (const auto& [key, list] : map) {
        object[key] = list;
    }
    return object;
}

// One scenario running: the scripted machine, the virtual clock, and the Monitor of the moment.
class Run {
  public:
    Run(const Scenario& scenario, std::ostream& out, MonitorFiles files)
        : scenario_(scenario), out_(out), origin_{scenario.start}, files_(std::move(files)),
          clock_(origin_), notifier_([this](const std::string& body) { print("notify", body); }),
          panel_([this](const std::optional<TrustRequest>& shown) {
              print("panel", shown ? json{{"show", replay::toJSON(*shown)}} : json("hide"));
          }) {
        machine_.setActionHook([this](const std::string& name, json args, json result) {
            print("action", {{"name", name},
                             {"args", shownStrings(std::move(args))},
                             {"result", shownStrings(std::move(result))}});
        });
    }

    ~Run() {
        // The Monitor goes before the providers it was given.
        monitor_.reset();
        keyboard_.reset();
    }

    std::optional<Fault> play() {
        for (std::size_t i = 0; i < scenario_.steps.size(); ++i) {
            const Step& step = scenario_.steps[i];
            const Timestamp at = origin_ + step.at;
            clock_.runUntil(at, false);
            if (auto fault = perform(step, "steps[" + std::to_string(i) + "]")) {
                return fault;
            }
            if (step.end) {
                printEnd();
                return std::nullopt;
            }
            clock_.runUntil(at, true);
        }
        return std::nullopt;
    }

  private:
    // The step's members, in the order the replay format lists them.
    std::optional<Fault> perform(const Step& step, const std::string& where) {
        if (step.defaults && !AtomicFile::write(files_.settings, step.defaults->dump(2))) {
            return Fault{where + ".defaults", "cannot write " + files_.settings.string()};
        }
        if (step.eventsFile && !AtomicFile::write(files_.events, *step.eventsFile)) {
            return Fault{where + ".eventsFile", "cannot write " + files_.events.string()};
        }
        if (step.machine) {
            step.machine->applyTo(machine_.state);
        }
        if (step.launch) {
            launch();
        }
        if (step.restart) {
            monitor_.reset();
            keyboard_.reset();
            launch();
        }
        if (step.deviceChange) {
            monitor_->deviceChanged();
        }
        for (const replay::KeyPresses& presses : step.keys) {
            schedule(presses, step.at);
        }
        if (step.call) {
            return call(*step.call, where);
        }
        return std::nullopt;
    }

    // A new process: a keyboard watcher that is not yet running, and a Monitor.
    void launch() {
        monitor_.reset();
        keyboard_ = std::make_unique<ScriptedKeyboardWatcher>(machine_, clock_);
        monitor_ = std::make_unique<Monitor>(
            MonitorProviders{machine_, *keyboard_, notifier_, panel_, clock_, clock_}, files_,
            Monitor::Trace{[this](std::string_view reason) { print("cycle", std::string(reason)); },
                           [this](const Event& event, bool notify) {
                               print("log", {{"level", rawValue(event.level)},
                                             {"text", event.text},
                                             {"notify", notify}});
                           }});
    }

    // Presses at the step's own time are part of the step; later ones wait for their time, so
    // that they fall between timer ticks and scans as they would. Each waiting press holds only
    // the address of its keyboard in the scenario, which outlives the run: small enough for the
    // task to need no allocation of its own, with up to a million presses queued.
    void schedule(const replay::KeyPresses& presses, double stepAt) {
        for (double t : presses.times) {
            if (t <= stepAt) {
                press(presses.keyboard);
            } else {
                clock_.after((origin_ + t) - clock_.now(),
                             [this, keyboard = &presses.keyboard] { press(*keyboard); });
            }
        }
    }

    void press(const Keyboard& keyboard) {
        if (keyboard_) {
            keyboard_->press(keyboard);
        }
    }

    std::optional<Fault> call(const replay::Call& c, const std::string& where) {
        Monitor& m = *monitor_;
        if (c.device) {
            const auto& usb = m.usb();
            const auto found = std::find_if(usb.begin(), usb.end(),
                                            [&](const USBDevice& d) { return d.id == *c.device; });
            if (found == usb.end()) {
                return Fault{where + ".device",
                             "no USB device with id " + std::to_string(*c.device) + " now"};
            }
            // A copy: the operation may change the list it came from.
            const USBDevice device = *found;
            if (c.name == "approveScope") {
                m.approveScope(device);
            } else if (c.name == "forget") {
                m.forget(device);
            } else if (c.name == "ejectDisks") {
                m.ejectDisks(device);
            } else if (c.name == "pauseNetwork") {
                m.pauseNetwork(device);
            } else if (c.name == "resumeNetwork") {
                m.resumeNetwork(device);
            }
        } else if (c.name == "markAllReviewed") {
            m.markAllReviewed();
        } else if (c.name == "allowPrompt") {
            m.allowPrompt();
        } else if (c.name == "refusePrompt") {
            m.refusePrompt();
        } else if (c.name == "setAutoPause") {
            m.setAutoPause(c.value.value_or(false));
        } else if (c.name == "setKeystrokeGuard") {
            m.setKeystrokeGuard(c.value.value_or(false));
        }
        return std::nullopt;
    }

    void printEnd() {
        const Monitor& m = *monitor_;
        json events = json::array();
        for (const Event& e : m.events()) {
            events.push_back(replay::toJSON(e, origin_));
        }
        json outOfScope = json::object();
        for (const auto& [key, caps] : m.outOfScope()) {
            json codes = json::array();
            for (Capability c : caps) {
                codes.push_back(c.code());
            }
            outOfScope[key] = std::move(codes);
        }
        json activity = json::object();
        for (const auto& [id, text] : m.activity()) {
            activity[std::to_string(id)] = text;
        }
        print("end", {{"events", std::move(events)},
                      {"outOfScope", shownKeys(outOfScope)},
                      {"activity", std::move(activity)},
                      {"trustRequest",
                       m.trustRequest() ? replay::toJSON(*m.trustRequest()) : json(nullptr)},
                      {"advice", m.advice() ? replay::toJSON(*m.advice()) : json(nullptr)},
                      {"knownUSB", shownKeys(stringMap(m.knownUSB()))},
                      {"knownInputs", shownTexts(m.knownInputs())},
                      {"history", shownKeys(historiesToJSON(m.history()))},
                      {"autoPause", m.autoPause()},
                      {"keystrokeGuardOn", m.keystrokeGuardOn()}});
    }

    // One line, "at" first so that people can read the lines as a timeline.
    void print(const char* member, json value) {
        json at = replay::secondsAfter(clock_.now(), origin_);
        replay::wholeNumbers(at);
        replay::wholeNumbers(value);
        out_ << "{\"at\":" << at.dump() << ",\"" << member
             << "\":" << value.dump(-1, ' ', false, json::error_handler_t::replace) << "}\n";
    }

    const Scenario& scenario_;
    std::ostream& out_;
    const Timestamp origin_;
    const MonitorFiles files_;
    VirtualScheduler clock_;
    ScriptedMachine machine_;
    RecordingNotifier notifier_;
    RecordingPanel panel_;
    std::unique_ptr<ScriptedKeyboardWatcher> keyboard_;
    std::unique_ptr<Monitor> monitor_;
};

} // namespace

int runReplay(const std::filesystem::path& scenarioFile, std::ostream& out, std::ostream& err,
              const std::optional<std::filesystem::path>& state) {
    const auto fail = [&err](const std::string& fault) {
        err << "replay: " << fault << '\n';
        return 2;
    };
    std::string error;
    const auto document = replay::readScenarioFile(scenarioFile, error);
    if (!document) {
        return fail(error);
    }
    const auto scenario = replay::readScenario(*document, error);
    if (!scenario) {
        return fail(error);
    }
    // Only a valid scenario gets a folder; a temporary one goes however the run ends.
    const auto folder = replay::StateFolder::make(state, error);
    if (!folder) {
        return fail(error);
    }
    Run run(*scenario, out, MonitorFiles{folder->settings(), folder->events()});
    const auto fault = run.play();
    out.flush();
    return fault ? fail(fault->where + ": " + fault->why) : 0;
}

} // namespace vantrel
