#include "app/linux/ChildProcesses.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantrel::ChildProcesses {

int endGroups() {
    // Always the real /proc, never one under $VANTREL_ROOT: these are our own children.
    int killed = 0;
    std::error_code error;
    for (fs::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error)) {
        std::ifstream children(it->path() / "children");
        for (long pid = 0; children >> pid;) {
            // Only a group leader, as a tool is: killing another child's group would reach
            // our own.
            if (pid > 0 && ::getpgid(static_cast<pid_t>(pid)) == pid &&
                ::kill(-static_cast<pid_t>(pid), SIGKILL) == 0) {
                ++killed;
            }
        }
    }
    return killed;
}

} // namespace vantrel::ChildProcesses
