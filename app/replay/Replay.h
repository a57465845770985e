// `vantrel --replay SCENARIO.json`: runs one Monitor against a scripted machine in virtual time
// and prints what it did, one JSON object per line.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace vantrel {

// Runs the scenario in `scenario`, printing its lines to `out`. 0 after a complete run; 2 with
// one line "replay: {what}: {why}" on `err` when the file cannot be read, does not follow the
// replay format or is past its limits (then nothing at all has been written), or asks for
// something that cannot be done as it runs. The settings and event files live in `state` (made
// when missing, kept) or, without it, in a temporary folder removed at the end; never in the
// user's own folders.
int runReplay(const std::filesystem::path& scenario, std::ostream& out, std::ostream& err,
              const std::optional<std::filesystem::path>& state = std::nullopt);

} // namespace vantrel
