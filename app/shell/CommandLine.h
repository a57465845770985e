// What the command line asks of Vantrel: one of the one-shot tools, or the tray application.
// Each switch counts only as a whole argument, anywhere; the first in order that is present wins.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct CommandLine {
    enum class Mode {
        snapshot,     // --snapshot: print what Vantrel sees now
        enableAgent,  // --enable-agent: keep Vantrel running
        disableAgent, // --disable-agent
        agentStatus,  // --agent-status
        selfTest,     // --self-test: check the probes and actions Vantrel depends on
        demoWindow,   // --demo-window [words]: render a window from fixed sample data
        replay,       // --replay FILE: run a scripted scenario
        help,         // --help
        version,      // --version
        headless,     // --headless [--json]: guard without a desktop, events to the journal
        app,          // no switch: the tray application
    };

    // The words that follow --demo-window.
    struct DemoWords {
        bool dark = false;
        bool advisor = false;
        bool safe = false;
        bool expanded = false;
        bool developer = false;
        // The first following argument that ends in ".png", if any.
        std::optional<std::string> output;
        bool operator==(const DemoWords&) const = default;
    };

    Mode mode = Mode::app;
    DemoWords demo;
    // The file after --replay; none when --replay was the last argument.
    std::optional<std::string> replayFile;
    // With --replay, the folder after --state; empty when --state was the last argument.
    std::optional<std::string> stateFolder;
    // --json anywhere: the headless guard prints its events as JSON lines as well.
    bool json = false;

    // Reads the arguments after the program's name.
    static CommandLine parse(const std::vector<std::string>& arguments);
};

// The usage text of --help.
extern const char* const usageText;

} // namespace vantrel
