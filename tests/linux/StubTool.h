// Stand-ins for the tools Vantrel runs (nmcli, udisksctl, systemctl, ...) inside a fixture tree:
// shell scripts that record every call's arguments and answer with a fixed status and output.
#pragma once

#include "tests/linux/FixtureTree.h"

#include <string>
#include <vector>

namespace vantrel {

using ToolCalls = std::vector<std::vector<std::string>>;

// A stand-in for the tool at `tool` in the tree: a shell script (our code runs it directly,
// never through a shell of its own) that appends its arguments to `<tool>.calls`, each as
// "<bytes>:<argument>" on a line after a "#<count>" line, runs `body`, and exits with `status`.
void stubTool(const FixtureTree& tree, const std::string& tool, int status, std::string body = "");

// A stub that prints `output` exactly, byte for byte.
void answeringTool(const FixtureTree& tree, const std::string& tool, int status,
                   const std::string& output);

// Every run of the stub at `tool`, with its arguments.
ToolCalls toolCalls(const FixtureTree& tree, const std::string& tool);

} // namespace vantrel
