// Running the guard without a desktop: in this process, or in its own executable, which loads no
// window library and so stays small in memory.
#pragma once

namespace vantrel {

// The guard's own executable, installed beside `vantrel` or in ../lib/vantrel.
inline constexpr const char* guardExecutable = "vantrel-headless";

// The guard without a desktop, until SIGTERM or SIGINT: then the event loop ends, the Monitor and
// the keyboard watcher unwind (a seized keyboard is let go) and it exits 0. Every file was saved
// when it changed.
int runHeadless(int argc, char** argv, bool json);

// Replaces this process with the guard's own executable, given the same arguments; returns only
// when there is none to run.
void runGuardExecutable(char** argv);

} // namespace vantrel
