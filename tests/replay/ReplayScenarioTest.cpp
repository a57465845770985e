// Every scenario in scenarios/ replayed against its expected lines, and scenarios the replay
// must refuse before it touches any file.
#include "app/replay/Replay.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A replay with its settings and event file in a state folder of its own.
struct Sandbox {
    TempFolder folder;
    std::ostringstream out;
    std::ostringstream err;

    int replay(const fs::path& scenario) {
        return runReplay(scenario, out, err, folder.path / "state");
    }
    fs::path write(const std::string& name, const std::string& text) const {
        const fs::path file = folder.path / name;
        std::ofstream(file) << text;
        return file;
    }
    bool wroteNothing() const { return !fs::exists(folder.path / "state"); }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            result.push_back(line);
        }
    }
    return result;
}

std::vector<fs::path> scenarioFiles() {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(VANTREL_SCENARIOS, ignored)) {
        if (entry.path().extension() == ".json") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class Scenario : public testing::TestWithParam<fs::path> {};

TEST_P(Scenario, PrintsTheExpectedLines) {
    const fs::path scenario = GetParam();
    fs::path expectedFile = scenario;
    expectedFile.replace_extension(".expected.jsonl");
    std::ifstream expectedIn(expectedFile);
    ASSERT_TRUE(expectedIn) << "no " << expectedFile;
    const std::string expectedText{std::istreambuf_iterator<char>(expectedIn), {}};

    Sandbox box;
    ASSERT_EQ(box.replay(scenario), 0) << box.err.str();
    EXPECT_EQ(box.err.str(), "");

    const auto actual = lines(box.out.str());
    const auto expected = lines(expectedText);
    bool same = actual.size() == expected.size();
    for (std::size_t i = 0; same && i < actual.size(); ++i) {
        same = json::parse(actual[i], nullptr, false) == json::parse(expected[i]);
    }
    EXPECT_TRUE(same) << "--- expected\n" << expectedText << "--- actual\n" << box.out.str();
}

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Replay, Scenario, testing::ValuesIn(scenarioFiles()), testName);

// A first step that would write both files, so that a refusal shows that nothing was written.
const std::string writes = R"({"at": 0, "defaults": {"autoPause": false}, "eventsFile": "[]",
                               "launch": true})";

struct Refusal {
    const char* name;
    std::string scenario;
    std::string error; // the start of the line on standard error; {file} is the scenario's path
    bool validation = true;
};

// Replays each case: exit 2, the one line expected and, for a fault of validation, nothing run
// and nothing written.
void expectRefusals(const std::vector<Refusal>& cases) {
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        const fs::path file = box.write("scenario.json", c.scenario);
        std::string error = c.error;
        if (const auto at = error.find("{file}"); at != std::string::npos) {
            error.replace(at, 6, file.string());
        }
        EXPECT_EQ(box.replay(file), 2);
        const std::string err = box.err.str();
        EXPECT_EQ(err.rfind(error, 0), 0u) << err.substr(0, 300);
        EXPECT_EQ(lines(err).size(), 1u) << err.substr(0, 300);
        if (c.validation) {
            EXPECT_EQ(box.out.str(), "");
            EXPECT_TRUE(box.wroteNothing());
        }
    }
}

// {"steps": [a step writing both files, `middle`, the end at 9]}.
std::string around(const std::string& middle) {
    return R"({"steps": [)" + writes + ", " + middle + R"(, {"at": 9, "end": true}]})";
}

std::string repeated(const std::string& text, std::size_t times, const std::string& glue = "") {
    std::string all;
    for (std::size_t i = 0; i < times; ++i) {
        all += (i == 0 ? "" : glue) + text;
    }
    return all;
}

TEST(Replay, RefusesScenariosOutsideTheFormat) {
    const auto steps = around;
    const auto usb = [&](const std::string& device) {
        return steps(R"({"at": 1, "machine": {"usb": [)" + device + "]}}");
    };
    const std::string idWanted = R"(expected an integer or a "0x…" string)";
    expectRefusals({
        {"not JSON", "{\"steps\": [", "replay: {file}: not valid JSON"},
        {"not an object", "[]", "replay: scenario: expected an object"},
        {"unknown root member", R"({"steps": [], "strat": 1})", "replay: strat: unknown member"},
        {"no steps", R"({"start": 0})", "replay: steps: missing"},
        {"empty steps", R"({"steps": []})", "replay: steps: expected a non-empty array"},
        {"start not a number", R"({"start": "now", "steps": []})",
         "replay: start: expected a number"},
        {"hex without digits", usb(R"({"vendorID": "0x"})"),
         "replay: steps[1].machine.usb[0].vendorID: " + idWanted},
        {"hex without prefix", usb(R"({"vendorID": "1a86"})"),
         "replay: steps[1].machine.usb[0].vendorID: " + idWanted},
        {"hex with a stray letter", usb(R"({"productID": "0x75g3"})"),
         "replay: steps[1].machine.usb[0].productID: " + idWanted},
        {"hex beyond 64 bits", usb(R"({"locationID": "0x10000000000000000"})"),
         "replay: steps[1].machine.usb[0].locationID: " + idWanted},
        {"fraction", usb(R"({"vendorID": 1.5})"),
         "replay: steps[1].machine.usb[0].vendorID: " + idWanted},
        {"negative device id", usb(R"({"id": -1})"),
         "replay: steps[1].machine.usb[0].id: expected a non-negative integer"},
        {"unknown record field", usb(R"({"vid": 1})"),
         "replay: steps[1].machine.usb[0].vid: unknown member"},
        {"unknown capability", usb(R"({"caps": ["input", "modem"]})"),
         "replay: steps[1].machine.usb[0].caps[1]: expected a capability code"},
        {"capabilities out of order", usb(R"({"caps": ["storage", "input"]})"),
         "replay: steps[1].machine.usb[0].caps[1]: \"input\" is repeated or out of order"},
        {"string list with a number", usb(R"({"disks": ["sdb", 2]})"),
         "replay: steps[1].machine.usb[0].disks[1]: expected a string"},
        {"authorization not text",
         steps(R"({"at": 1, "machine": {"ports": [{"authorization": 1}]}})"),
         "replay: steps[1].machine.ports[0].authorization: expected a string or null"},
        {"unknown machine part", steps(R"({"at": 1, "machine": {"usbs": []}})"),
         "replay: steps[1].machine.usbs: unknown member"},
        {"serial users not a list",
         steps(R"({"at": 1, "machine": {"serialUsers": {"/dev/ttyUSB0": "x"}}})"),
         "replay: steps[1].machine.serialUsers./dev/ttyUSB0: expected an array of strings"},
        {"seize by name", steps(R"({"at": 1, "machine": {"results": {"seize": {"kbd": false}}}})"),
         "replay: steps[1].machine.results.seize.kbd: expected a registry id"},
        {"unknown step member", steps(R"({"at": 1, "luanch": true})"),
         "replay: steps[1].luanch: unknown member"},
        {"step with nothing to do", steps(R"({"at": 1})"), "replay: steps[1]: expected something"},
        {"step without at", steps(R"({"deviceChange": true})"), "replay: steps[1].at: missing"},
        {"negative at", R"({"steps": [{"at": -1, "launch": true, "end": true}]})",
         "replay: steps[0].at: expected a number of seconds from 0 to 604800"},
        {"at going back", steps(R"({"at": 10, "deviceChange": true})"),
         "replay: steps[2].at: before the previous step (10)"},
        {"launch false", R"({"steps": [{"at": 0, "launch": false, "end": true}]})",
         "replay: steps[0].launch: expected true"},
        {"launch twice", steps(R"({"at": 1, "launch": true})"),
         "replay: steps[1].launch: a Monitor is already running"},
        {"device change before launch",
         R"({"steps": [{"at": 0, "deviceChange": true}, )"
         R"({"at": 1, "launch": true, "end": true}]})",
         "replay: steps[0].deviceChange: no Monitor is running"},
        {"no end", R"({"steps": [)" + writes + "]}", "replay: steps[0].end: missing"},
        {"end before the last step",
         R"({"steps": [{"at": 0, "launch": true, "end": true}, )" + writes + "]}",
         "replay: steps[0].end: only the last step may end the run"},
        {"press before its step", steps(R"({"at": 2, "keys": {"keyboard": {}, "times": [1]}})"),
         "replay: steps[1].keys.times[0]: before the step's at (2)"},
        {"presses without a count",
         steps(R"({"at": 2, "keys": [{"keyboard": {}, "interval": 0.1}]})"),
         "replay: steps[1].keys[0].count: missing"},
        {"presses two ways",
         steps(R"({"at": 2, "keys": {"keyboard": {}, "times": [2], "count": 1}})"),
         "replay: steps[1].keys.count: not together with \"times\""},
        {"presses without a keyboard", steps(R"({"at": 2, "keys": {"times": [2]}})"),
         "replay: steps[1].keys.keyboard: missing"},
        {"unknown operation", steps(R"({"at": 1, "call": "eject"})"),
         "replay: steps[1].call: expected one of"},
        {"operation without its device", steps(R"({"at": 1, "call": "forget"})"),
         "replay: steps[1].device: missing (forget needs a USB device id)"},
        {"operation with a stray value",
         steps(R"({"at": 1, "call": "markAllReviewed", "value": true})"),
         "replay: steps[1].value: not used by markAllReviewed"},
        {"value not a boolean", steps(R"({"at": 1, "call": "setAutoPause", "value": 1})"),
         "replay: steps[1].value: expected true or false"},
        {"device without an operation", steps(R"({"at": 1, "device": 3})"),
         "replay: steps[1].device: only together with \"call\""},
        {"defaults not an object", steps(R"({"at": 1, "defaults": []})"),
         "replay: steps[1].defaults: expected an object"},
        {"device not connected", steps(R"({"at": 1, "call": "forget", "device": "0x2a"})"),
         "replay: steps[1].device: no USB device with id 42", false},
    });
}

TEST(Replay, RefusesScenariosPastItsLimits) {
    const std::string seconds = "expected a number of seconds from ";
    const std::string manyPresses = "more than 1000000 key presses in the scenario";
    const auto presses = [](const std::string& keys) {
        return around(R"({"at": 2, "keys": [)" + keys + "]}");
    };
    const std::string lakh = R"({"keyboard": {}, "count": 100000, "interval": 0.001})";
    expectRefusals({
        {"start far ahead", R"({"start": 1e20, "steps": [)" + writes + "]}",
         "replay: start: " + seconds + "0 to 3200000000"},
        {"start before 2001", R"({"start": -1, "steps": [)" + writes + "]}",
         "replay: start: " + seconds + "0 to 3200000000"},
        {"at beyond a week", around(R"({"at": 1e9, "deviceChange": true})"),
         "replay: steps[1].at: " + seconds + "0 to 604800"},
        {"at infinite", around(R"({"at": 1e400, "deviceChange": true})"),
         "replay: {file}: not valid JSON"},
        {"press beyond a week", presses(R"({"keyboard": {}, "times": [1e9]})"),
         "replay: steps[1].keys[0].times[0]: " + seconds + "0 to 604800"},
        {"last press beyond a week", presses(R"({"keyboard": {}, "count": 3, "interval": 302400})"),
         "replay: steps[1].keys[0].interval: the last press would come after 604800"},
        {"no presses", presses(R"({"keyboard": {}, "count": 0, "interval": 1})"),
         "replay: steps[1].keys[0].count: expected at least 1 press"},
        {"3,000 entries of 100,000 presses", presses(repeated(lakh, 3000, ",")),
         "replay: steps[1].keys[10].count: " + manyPresses},
        {"one press past the million by times",
         presses(repeated(lakh, 10, ",") + R"(, {"keyboard": {}, "times": [3]})"),
         "replay: steps[1].keys[10].times: " + manyPresses},
        {"nested 100,000 deep",
         R"({"steps": [{"at": 0, "defaults": {"x": )" + repeated("[", 100000) +
             repeated("]", 100000) + R"(}, "launch": true, "end": true}]})",
         "replay: {file}: nested deeper than 64 arrays and objects"},
        {"100,001 steps",
         R"({"steps": [)" + repeated(R"({"at": 0, "deviceChange": true})", 100001, ",") + "]}",
         "replay: steps: more than 100000 steps"},
        {"over 16 MiB",
         around(R"({"at": 1, "deviceChange": true})") + std::string(16 * 1024 * 1024, ' '),
         "replay: {file}: larger than 16 MiB"},
    });
}

TEST(Replay, RunsAScenarioAtItsLimits) {
    // Nested 64 deep: the scenario, its steps, a step, its defaults and 60 arrays.
    const std::string deep = repeated("[", 60) + repeated("]", 60);
    Sandbox box;
    const fs::path file = box.write(
        "scenario.json", R"({"start": 3.2e9, "steps": [{"at": 0, "defaults": {"x": )" + deep +
                             R"(}, "launch": true}, {"at": 604800, "end": true}]})");
    EXPECT_EQ(box.replay(file), 0) << box.err.str();
    EXPECT_EQ(lines(box.out.str()).back().rfind(R"({"at":604800,"end":)", 0), 0u);
}

TEST(Replay, RefusesAFileThatCannotBeRead) {
    Sandbox box;
    const fs::path missing = box.folder.path / "missing.json";
    EXPECT_EQ(box.replay(missing), 2);
    EXPECT_EQ(box.err.str(), "replay: " + missing.string() + ": cannot be read\n");
}

} // namespace
} // namespace vantrel
