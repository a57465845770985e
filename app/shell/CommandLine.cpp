#include "app/shell/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace vantrel {
namespace {

using Mode = CommandLine::Mode;

// The switches in the order in which they decide.
constexpr std::array<std::pair<std::string_view, Mode>, 10> switches{{
    {"--snapshot", Mode::snapshot},
    {"--enable-agent", Mode::enableAgent},
    {"--disable-agent", Mode::disableAgent},
    {"--agent-status", Mode::agentStatus},
    {"--self-test", Mode::selfTest},
    {"--demo-window", Mode::demoWindow},
    {"--replay", Mode::replay},
    {"--help", Mode::help},
    {"--version", Mode::version},
    {"--headless", Mode::headless},
}};

CommandLine::DemoWords demoWords(std::vector<std::string>::const_iterator word,
                                 std::vector<std::string>::const_iterator end) {
    CommandLine::DemoWords words;
    for (; word != end; ++word) {
        const std::string& w = *word;
        if (w == "dark") {
            words.dark = true;
        } else if (w == "advisor") {
            words.advisor = true;
        } else if (w == "safe") {
            words.safe = true;
        } else if (w == "expanded") {
            words.expanded = true;
        } else if (w == "developer") {
            words.developer = true;
        } else if (!words.output && w.ends_with(".png")) {
            words.output = w;
        }
    }
    return words;
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    line.json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
    for (const auto& [name, mode] : switches) {
        const auto found = std::find(arguments.begin(), arguments.end(), name);
        if (found == arguments.end()) {
            continue;
        }
        line.mode = mode;
        if (mode == Mode::demoWindow) {
            line.demo = demoWords(found + 1, arguments.end());
        } else if (mode == Mode::replay) {
            if (found + 1 != arguments.end()) {
                line.replayFile = *(found + 1);
            }
            const auto state = std::find(arguments.begin(), arguments.end(), "--state");
            if (state != arguments.end()) {
                line.stateFolder = state + 1 != arguments.end() ? *(state + 1) : std::string();
            }
        }
        return line;
    }
    return line;
}

const char* const usageText =
    "Usage: vantrel [SWITCH]\n"
    "Without a switch Vantrel starts as a tray application and guards the USB ports of this\n"
    "computer. Each switch below but --headless runs once, prints and exits; the first one\n"
    "given wins.\n"
    "\n"
    "  --snapshot          print the USB devices, keyboards and mice, and ports Vantrel sees now\n"
    "  --enable-agent      keep Vantrel running: start it with the desktop and after a crash\n"
    "  --disable-agent     stop doing so\n"
    "  --agent-status      print \"enabled\" or \"not registered\"\n"
    "  --self-test         check the probes and actions Vantrel depends on\n"
    "  --demo-window [dark] [advisor] [safe] [expanded] [developer] [FILE.png]\n"
    "                      show a window from fixed sample data, or render it to FILE.png\n"
    "  --replay FILE [--state DIR]\n"
    "                      run a scripted scenario against the engine and print what it did;\n"
    "                      its settings and event log live in DIR (made when missing, kept),\n"
    "                      or else in a temporary folder removed at the end\n"
    "  --help              print this text\n"
    "  --version           print the version\n"
    "  --headless [--json] guard without a desktop until stopped (SIGTERM): no window, no\n"
    "                      notifications; a held-back device stays held back; events go to the\n"
    "                      journal and, with --json or without a journal, to standard output\n"
    "                      as one JSON object per line\n";

} // namespace vantrel
