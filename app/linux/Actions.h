// Everything through which Vantrel reaches outside its own process on Linux: running a tool and
// reading what it prints, and the few reads and acts the Monitor builds on that or on procfs.
//
// No shell is ever involved. A tool is started by its absolute path, and every value (a device
// name, a connection name) is one argument of its own, passed on byte for byte, so that nothing
// a device can name is ever interpreted. Tool paths and procfs/sysfs files are taken under
// $VANTREL_ROOT when it is set, so a test's fixture tree can stand in stub tools.
//
// Every function is synchronous, throws nothing and keeps no state; they may run concurrently.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::Actions {

// Whom the actions that need rights act for: the desktop user of one session, who is asked for a
// password where one is needed, or the system service, whose rights the polkit rules grant
// without asking (it runs without new privileges, so pkexec is not open to it) and which stands
// for every local session.
enum class Acting { forSession, asService };

// What a tool gave back: its exit code and what it wrote to standard output, as valid UTF-8.
// status is -1 (and output empty) when it could not be started, was killed by a signal or ran
// past its time bound.
struct Result {
    int status = -1;
    std::string output;
};

// The most of a tool's standard output kept; the rest is read and dropped.
inline constexpr std::size_t outputLimit = std::size_t{1} << 20;
// How long a tool may run before it is killed.
inline constexpr std::chrono::milliseconds defaultTimeout{30'000};

// Runs the tool at the absolute `path` (under $VANTREL_ROOT when set) with exactly `args` after
// argv[0], which is `path`. No shell, no search of PATH. Standard input and standard error are
// /dev/null; the environment and working directory are the caller's; no other descriptor of
// ours reaches the tool. A relative path, or an argument holding a NUL byte (which could not
// be passed on whole), is refused with status -1. Past `timeout` the tool and everything it
// started in its process group are killed.
Result run(const std::string& path, const std::vector<std::string>& args,
           std::chrono::milliseconds timeout = defaultTimeout);

// The processes holding the device `path` ("/dev/ttyUSB0") open, found through the descriptor
// links of /proc/<pid>/fd: "{comm} (pid {pid})", one per process, by ascending pid. Processes
// whose descriptors or name we may not read are passed over.
std::vector<std::string> serialUsers(const std::string& path);
// The same for every path of `paths` at once, in one pass over /proc that reads each descriptor
// link once: each path with its holders (none for a path nobody holds). The pass is bounded: past
// 65,536 processes or 1,048,576 descriptors, the rest is not looked at.
std::map<std::string, std::vector<std::string>> serialUsers(const std::vector<std::string>& paths);

// The names of the volumes mounted from the whole disk `disk` ("sdb") or its partitions, in
// the order of /proc/self/mountinfo, each once. The name shown is the last component of the
// mount point ("/media/ann/My Stick" gives "My Stick"); the root mount gives "/".
std::vector<std::string> mountedVolumes(const std::string& disk);

// The NetworkManager connection active on the interface `interfaceName`; none when there is
// none or NetworkManager cannot be asked.
std::optional<std::string> serviceName(const std::string& interfaceName);

// Unmounts every mounted file system of the whole disk `disk` and powers the drive off, through
// udisks. True when the power-off succeeded. A name that is not a plain kernel disk name is
// refused.
bool ejectDisk(const std::string& disk);

// Takes the NetworkManager connection named `service` down (`on` false) or up, with
// administrator rights asked for through polkit (for a session) or granted by its rules (as the
// service, nmcli without pkexec). True when it succeeded; a refused or cancelled prompt is false.
bool setNetworkService(const std::string& service, bool on, Acting acting = Acting::forSession);

// Locks the current login session, or as the service every local session. True when the login
// manager accepted the request.
bool lockScreen(Acting acting = Acting::forSession);

// Whether the tool lockScreen runs is there as an executable file. Nothing is run.
bool lockScreenAvailable();

// The kernel name of the whole disk ("sda", "nvme0n1") holding the file system mounted at "/":
// the device number of the last "/" mount of /proc/self/mountinfo, looked up in /sys/dev/block,
// and the disk it is a partition of, if it is one. None when "/" comes from no block device (an
// overlay or tmpfs root) or the device is not in sysfs.
std::optional<std::string> systemDisk();

} // namespace vantrel::Actions
