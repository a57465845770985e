// A replay keeps its state in a folder of its own: the user's settings, event log and single-copy
// lock stay as they were, and no temporary folder outlives the run, however the run ends.
#include "app/replay/Replay.h"
#include "tests/TestSupport.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every file and folder under `root`, each file with its bytes.
std::map<std::string, std::string> everything(const fs::path& root) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        found[entry.path().string()] = entry.is_regular_file() ? bytesOf(entry.path()) : "/";
    }
    return found;
}

TEST(ReplayState, NeverTouchesTheUsersFilesNorLeavesAFolderBehind) {
    TempFolder root;
    const fs::path home = root.path / "home";
    const fs::path runtime = root.path / "run";
    const fs::path temporary = root.path / "tmp";
    const EnvGuard vars[] = {{"HOME", home.c_str()},
                             {"XDG_CONFIG_HOME", nullptr},
                             {"XDG_DATA_HOME", nullptr},
                             {"XDG_CACHE_HOME", nullptr},
                             {"XDG_RUNTIME_DIR", runtime.c_str()},
                             {"TMPDIR", temporary.c_str()}};
    writeFile(home / ".config/Vantrel/defaults.json",
              R"({"knownUSB": {"1a86:7523:": ["serial"]}, "autoPause": true})");
    writeFile(home / ".local/share/Vantrel/events.json", "[]");
    fs::create_directories(runtime);
    fs::create_directories(temporary);

    const std::string device = R"({"usb": [{"id": 7, "name": "Stick", "caps": ["storage"]}]})";
    const std::string launch = R"({"at": 0, "defaults": {"autoPause": false}, "eventsFile": "[]",
                                   "machine": )" +
                               device + R"(, "launch": true})";
    const fs::path writesBoth = root.path / "writes-both.json";
    writeFile(writesBoth, R"({"steps": [)" + launch + R"(, {"at": 5, "end": true}]})");
    const fs::path refused = root.path / "refused.json";
    writeFile(refused, R"({"steps": [)" + launch + "]}");
    const fs::path failsAsItRuns = root.path / "fails.json";
    writeFile(failsAsItRuns, R"({"steps": [)" + launch +
                                 R"(, {"at": 1, "call": "forget", "device": 8},
                                      {"at": 5, "end": true}]})");
    const auto before = everything(root.path);
    const struct {
        const char* name;
        fs::path scenario;
        int status;
    } runs[] = {
        {"a scenario of the suite", fs::path(VANTREL_SCENARIOS) / "restart-keeps-state.json", 0},
        {"one writing both files", writesBoth, 0},
        {"one refused", refused, 2},
        {"one failing as it runs", failsAsItRuns, 2},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runReplay(run.scenario, out, err), run.status) << err.str();
        EXPECT_EQ(everything(root.path), before);
    }

    // A named state folder is made and kept, and the next replay starts from what it holds.
    const fs::path state = root.path / "state/deeper";
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runReplay(writesBoth, out, err, state), 0) << err.str();
    const auto stored = nlohmann::json::parse(bytesOf(state / "defaults.json"), nullptr, false);
    EXPECT_EQ(stored.value("autoPause", true), false) << stored;
    EXPECT_TRUE(fs::exists(state / "events.json"));
    const fs::path onlyLaunch = root.path / "launch.json";
    writeFile(onlyLaunch, R"({"steps": [{"at": 0, "launch": true, "end": true}]})");
    std::ostringstream again;
    ASSERT_EQ(runReplay(onlyLaunch, again, err, state), 0) << err.str();
    EXPECT_NE(again.str().find(R"("autoPause":false)"), std::string::npos) << again.str();
    EXPECT_TRUE(fs::is_empty(temporary));
    EXPECT_EQ(bytesOf(home / ".config/Vantrel/defaults.json"),
              before.at((home / ".config/Vantrel/defaults.json").string()));
}

} // namespace
} // namespace vantrel
