// The replay of a scenario file, bounded: the input as a scenario, read and checked, and run
// when it is short (at most `longestRun` seconds of virtual time and `mostPresses` key presses).
// Properties: the run ends 0 or 2; a 2 comes with one "replay: …" line, a 0 with none; a
// scenario that does not validate prints nothing; every line printed is a JSON object whose
// first member is "at".
#include "app/replay/Replay.h"
#include "app/replay/Scenario.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

using namespace vantrel;

namespace {

constexpr double longestRun = 900;
constexpr std::size_t mostPresses = 2000;

bool shortEnough(const replay::Scenario& scenario) {
    std::size_t presses = 0;
    for (const replay::Step& step : scenario.steps) {
        for (const replay::KeyPresses& keys : step.keys) {
            presses += keys.times.size();
        }
    }
    return scenario.steps.back().at <= longestRun && presses <= mostPresses;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A run must never reach the user's own files: the folders a replay could look in for
    // settings and events are the scratch folder's.
    const auto state = fuzz::scratch() / "state";
    ::setenv("HOME", state.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (state / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (state / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (state / "run").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const auto document = nlohmann::json::parse(input, nullptr, false);
    std::string fault;
    const auto scenario = replay::readScenario(document, fault);
    if (scenario && !shortEnough(*scenario)) {
        return 0;
    }
    fuzz::emptyFolder(fuzz::scratch() / "state");
    const auto file = fuzz::scratch() / "scenario.json";
    fuzz::writeFile(file, input);

    std::ostringstream out;
    std::ostringstream err;
    const int status = runReplay(file, out, err);
    const std::string printed = out.str();
    const std::string complaint = err.str();
    fuzz::require(status == 0 || status == 2, "a replay ends with 0 or 2");
    if (status == 2) {
        fuzz::require(complaint.starts_with("replay: ") && complaint.ends_with('\n') &&
                          complaint.find('\n') == complaint.size() - 1,
                      "a failed replay says why in one line");
    } else {
        fuzz::require(complaint.empty(), "a replay that ran says nothing on standard error");
    }
    fuzz::require(scenario || (status == 2 && printed.empty()),
                  "a scenario that does not validate runs nothing");
    for (const std::string_view line : fuzz::split(printed, '\n')) {
        if (line.empty()) {
            continue;
        }
        const auto parsed = nlohmann::ordered_json::parse(line, nullptr, false);
        fuzz::require(parsed.is_object() && !parsed.empty() && parsed.begin().key() == "at",
                      "every line of a replay is a JSON object that starts with \"at\"");
    }
    return 0;
}
