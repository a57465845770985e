// The replay as a real process, killed with SIGKILL at random points while it writes its state
// folder. A reference run in this process records, after every file it puts in place, the pair
// (settings, event log) as it then stood; the run is deterministic but for the events' random
// ids, which are left out. After each kill the pair on disk must be one of those pairs (the
// files as they were before the run standing in for files the reference had not written yet):
// every file whole, each either before or after the write that was under way, never a mix. The
// next start must leave no temporary file. VANTREL_KILLS sets the number of kills (200).
#include "app/engine/Event.h"
#include "app/replay/Replay.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

extern char** environ;

namespace {

// Called after every rename that succeeded in this process, with its target.
std::function<void(const char* target)> renamed;

} // namespace

// The C library's rename, reported to `renamed`: the executable's own definition takes the place
// of the library's one for every caller in it.
extern "C" int rename(const char* from, const char* to) noexcept {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    const int result = real(from, to);
    if (result == 0 && renamed) {
        renamed(to);
    }
    return result;
}

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Pair = std::pair<std::string, std::string>; // settings, events
using Clock = std::chrono::steady_clock;

const std::string missing = "(missing)";

// The file as compared between runs, or a text in parentheses saying why it is not whole.
std::string stateOf(const fs::path& file, bool events) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return fs::exists(file) ? "(cannot be read)" : missing;
    }
    auto json = nlohmann::json::parse(std::istreambuf_iterator<char>(in), {}, nullptr, false);
    if (events ? !json.is_array() : !json.is_object()) {
        return "(not whole)";
    }
    if (events) {
        for (auto& event : json) {
            if (!Event::fromJSON(event)) {
                return "(an event that does not decode)";
            }
            event.erase("id");
        }
    }
    return json.dump();
}

Pair statesIn(const fs::path& folder) {
    return {stateOf(folder / "defaults.json", false), stateOf(folder / "events.json", true)};
}

// Whether `now` is a moment of the reference run, with `before` for what it had not written.
bool isAMomentOf(const std::vector<Pair>& reference, const Pair& before, const Pair& now) {
    if (now == before) {
        return true;
    }
    for (const auto& [settings, events] : reference) {
        if ((now.first == settings || (settings == missing && now.first == before.first)) &&
            (now.second == events || (events == missing && now.second == before.second))) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// `vantrel --replay scenario --state state`, output discarded.
pid_t start(const fs::path& scenario, const fs::path& state) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    std::string args[] = {VANTREL_BINARY, "--replay", scenario.string(), "--state", state.string()};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(),
                    args[3].data(), args[4].data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, VANTREL_BINARY, &files, nullptr, argv, environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// The exit status, or 128 + the signal that ended it.
int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int runToTheEnd(const fs::path& scenario, const fs::path& state) {
    const pid_t pid = start(scenario, state);
    return pid < 0 ? -1 : waitFor(pid);
}

TEST(KillLoop, EveryStoredFileIsWholeAfterASigkillAndTheNextStartTidiesUp) {
    const char* wanted = std::getenv("VANTREL_KILLS");
    const int kills = wanted != nullptr ? std::atoi(wanted) : 200;
    TempFolder folder;
    const EnvGuard home{"HOME", folder.path.c_str()};
    const fs::path scenario = VANTREL_KILLLOOP_SCENARIO;
    const fs::path launchOnly = folder.path / "launch.json";
    std::ofstream(launchOnly) << R"({"steps": [{"at": 0, "launch": true, "end": true}]})";

    std::vector<Pair> reference;
    const fs::path referenceState = folder.path / "reference";
    renamed = [&](const char* target) {
        std::error_code ignored;
        if (fs::equivalent(fs::path(target).parent_path(), referenceState, ignored)) {
            reference.push_back(statesIn(referenceState));
        }
    };
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runReplay(scenario, out, err, referenceState), 0) << err.str();
    renamed = nullptr;
    ASSERT_GE(reference.size(), 50u) << "the scenario writes too little to be worth killing";

    // A whole run as a process ends where the reference did, and tells how long a run takes.
    const fs::path state = folder.path / "state";
    const auto started = Clock::now();
    ASSERT_EQ(runToTheEnd(scenario, state), 0);
    const auto runTime = Clock::now() - started;
    ASSERT_TRUE(statesIn(state) == reference.back());

    // Kills fall anywhere in a run, or in its first quarter second when a slow disk makes runs
    // long, which keeps the loop to about a minute.
    const auto window = std::min<Clock::duration>(runTime, std::chrono::milliseconds(250));
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(window).count());
    int midRun = 0;
    int leftTemporaries = 0;
    int untouched = 0;
    Pair before = statesIn(state);
    for (int kill = 0; kill < kills; ++kill) {
        const long after = delay(random);
        SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(after) +
                     " µs (seed " + std::to_string(seed) + ")");
        const pid_t pid = start(scenario, state);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(after));
        ::kill(pid, SIGKILL);
        const int status = waitFor(pid);
        ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << status;
        midRun += status != 0;

        const Pair now = statesIn(state);
        ASSERT_TRUE(isAMomentOf(reference, before, now))
            << "settings: " << now.first.substr(0, 400)
            << "\nevents: " << now.second.substr(0, 400);
        untouched += now == before;
        bool temporary = false;
        for (const std::string& name : namesIn(state)) {
            temporary = temporary || name.find(".tmp-") != std::string::npos;
            ASSERT_TRUE(name == "defaults.json" || name == "events.json" ||
                        name.find(".tmp-") != std::string::npos)
                << name;
        }
        leftTemporaries += temporary;

        ASSERT_EQ(runToTheEnd(launchOnly, state), 0);
        for (const std::string& name : namesIn(state)) {
            ASSERT_EQ(name.find(".tmp-"), std::string::npos) << name << " after the next start";
        }
        before = statesIn(state);
    }
    std::cout << "kills " << kills << ", mid-run " << midRun << ", leaving a temporary file "
              << leftTemporaries << ", before the first write " << untouched
              << ", versions in a run " << reference.size() << ", a whole run "
              << std::chrono::duration_cast<std::chrono::milliseconds>(runTime).count()
              << " ms, kills within its first "
              << std::chrono::duration_cast<std::chrono::milliseconds>(window).count() << " ms\n";
}

} // namespace
} // namespace vantrel
