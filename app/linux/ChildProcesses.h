// Ending the tools this process runs, at once: each runs in a process group of its own (see
// Actions::run), which is killed whole, so that whoever waits for the tool is let go.
#pragma once

namespace vantrel::ChildProcesses {

// Kills with SIGKILL the process group of every child of this process (any of its threads, as
// /proc/self/task/*/children lists them) that leads a group of its own. How many were killed.
int endGroups();

} // namespace vantrel::ChildProcesses
