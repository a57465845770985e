// `vantrel --replay SCENARIO.json`: runs one Monitor against a scripted machine in virtual time
// and prints what it did, one JSON object per line.
#pragma once

#include <filesystem>
#include <ostream>

namespace vantrel {

// Runs the scenario in `scenario`, printing its lines to `out`. 0 after a complete run; 2 with
// one line "replay: {what}: {why}" on `err` when the file cannot be read, does not follow the
// replay format (then nothing at all has been written), or asks for something that cannot be
// done as it runs. Settings and the event file are the ones of the current environment.
int runReplay(const std::filesystem::path& scenario, std::ostream& out, std::ostream& err);

} // namespace vantrel
