// The system actions. Tools:
// - NetworkManager's nmcli for the connection on an interface (`-g` prints the bare value, with
//   ':' and '\' escaped by a backslash);
// - pkexec running nmcli to take a connection down or up: polkit asks for the password, and a
//   refused or cancelled prompt makes pkexec exit 126 (127 when it cannot authorise at all);
// - udisksctl to unmount file systems and power a drive off, under the user's own rights;
// - loginctl to lock the session we run in, or every local session for the system service.
// Processes holding a serial line come from the descriptor links in /proc/<pid>/fd, mounted
// volumes from /proc/self/mountinfo matched by device number against /sys/block, and the disk
// holding "/" from the device number of its mount through /sys/dev/block.
#include "app/linux/Actions.h"

#include "app/linux/HostFiles.h"
#include "app/linux/MountTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace vantrel::Actions {
namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* nmcli = "/usr/bin/nmcli";
constexpr const char* pkexec = "/usr/bin/pkexec";
constexpr const char* udisksctl = "/usr/bin/udisksctl";
constexpr const char* loginctl = "/usr/bin/loginctl";

// pkexec waits for a person to read the polkit dialog and type a password; 30 seconds would
// cut some of them off.
constexpr std::chrono::milliseconds promptTimeout{120'000};

// What one scan for the holders of serial lines reads at most, so that a machine with a great
// many processes or descriptors cannot hold up a cycle.
constexpr std::size_t processLimit = 65'536;
constexpr std::size_t descriptorLimit = 1'048'576;

// The mount table of a container host can run to thousands of lines.
constexpr std::size_t mountTableLimit = std::size_t{16} << 20;

// A descriptor closed when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

// `fd` moved to 3 or above, so that the child's dup2 onto 0, 1 and 2 cannot overwrite it when
// the caller runs with one of its standard descriptors closed.
int aboveStandard(int fd) {
    if (fd < 0 || fd > 2) {
        return fd;
    }
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

// Reads what the pipe holds now into `out`, keeping at most outputLimit bytes and dropping the
// rest. False once the pipe has reached its end (or failed, which ends it as well).
bool readAvailable(int fd, std::string& out) {
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t room = outputLimit - out.size();
            out.append(buffer, std::min(room, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

// The child's exit code; -1 when a signal ended it.
int exitCode(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

// Kills the child and what it started (its process group), then reaps it.
void killGroup(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int ignored = 0;
    while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
}

// The spawn set-up for one child: descriptors 0, 1, 2 and nothing else, signal mask and the
// dispositions we may have changed put back, its own process group so that a time-out can
// kill what it started.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool ready = false;

    SpawnSetup(int devNull, int output) {
        if (posix_spawn_file_actions_init(&actions) != 0) {
            return;
        }
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGTSTP, SIGTTIN, SIGTTOU}) {
            sigaddset(&defaults, signal);
        }
        ready =
            posix_spawn_file_actions_adddup2(&actions, devNull, STDIN_FILENO) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO) == 0 &&
            posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
            posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
            posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
            posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                      POSIX_SPAWN_SETPGROUP) == 0;
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// A disk or partition name as the kernel gives it: lower-case letters and digits only, so it
// can neither leave /sys/block and /dev nor be read as an option.
bool plainKernelName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

using MountTable::deviceNumber;

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// ---- Block devices and mounts -------------------------------------------------------------

struct BlockDevice {
    std::string name;   // "sdb1"
    std::string number; // "8:17"
};

// The whole disk first, then its partitions: the real folders below /sys/block/<disk> that
// carry the disk's name and a device number ("queue", "power" and the links are not
// partitions). Empty when the disk is not there.
std::vector<BlockDevice> blockDevices(const std::string& disk) {
    std::vector<BlockDevice> devices;
    if (!plainKernelName(disk)) {
        return devices;
    }
    const std::string folder = "/sys/block/" + disk;
    const auto number = HostFiles::attribute(HostFiles::path(folder + "/dev"));
    if (!number || !deviceNumber(*number)) {
        return devices;
    }
    devices.push_back({disk, *number});
    for (const auto& entry : HostFiles::entries(HostFiles::path(folder))) {
        if (entry.kind != HostFiles::Entry::folder || entry.name.size() <= disk.size() ||
            !entry.name.starts_with(disk) || !plainKernelName(entry.name)) {
            continue;
        }
        const auto part = HostFiles::attribute(HostFiles::path(folder + "/" + entry.name + "/dev"));
        if (part && deviceNumber(*part)) {
            devices.push_back({entry.name, *part});
        }
    }
    // sdb2 before sdb10.
    std::sort(devices.begin() + 1, devices.end(), [](const auto& a, const auto& b) {
        return std::pair(a.name.size(), a.name) < std::pair(b.name.size(), b.name);
    });
    return devices;
}

using MountTable::Mount;
using MountTable::volumeName;

// The mounts of /proc/self/mountinfo in its order.
std::vector<Mount> mounts() {
    const auto text = HostFiles::read(HostFiles::path("/proc/self/mountinfo"), mountTableLimit);
    return text ? MountTable::parse(*text) : std::vector<Mount>{};
}

bool mounted(const std::vector<Mount>& table, const std::string& number) {
    return std::any_of(table.begin(), table.end(),
                       [&](const Mount& m) { return m.number == number; });
}

// ---- Processes ----------------------------------------------------------------------------

// The paths of `wanted` that the descriptor folder `fdFolder` of a process (open, read from the
// start) links to, as bits of `found`; every descriptor is read once, whatever the number of
// paths. At most `budget` links are read, which is lowered by what was read.
void heldPaths(int fdFolder, const std::vector<std::string>& wanted, std::size_t longest,
               std::vector<bool>& found, std::size_t& budget) {
    // getdents64 into a buffer of our own: no DIR to allocate for each of hundreds of processes.
    alignas(8) char entries[8192];
    // One byte more than the longest path, so that a longer target cannot pass for one.
    char target[4097];
    const std::size_t room = std::min(longest + 1, sizeof target);
    while (budget > 0) {
        const long size = ::syscall(SYS_getdents64, fdFolder, entries, sizeof entries);
        if (size <= 0) {
            return;
        }
        for (long at = 0; at < size && budget > 0;) {
            // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
            unsigned short length = 0;
            std::memcpy(&length, entries + at + 16, sizeof length);
            const unsigned char type = static_cast<unsigned char>(entries[at + 18]);
            const char* name = entries + at + 19;
            at += length;
            // Descriptors are links; "." and ".." are not worth a system call.
            if (length == 0 || name[0] == '.' || (type != DT_LNK && type != DT_UNKNOWN)) {
                if (length == 0) {
                    return;
                }
                continue;
            }
            --budget;
            const ssize_t n = ::readlinkat(fdFolder, name, target, room);
            if (n <= 0 || static_cast<std::size_t>(n) > longest) {
                continue;
            }
            const std::string_view text(target, static_cast<std::size_t>(n));
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                found[i] = found[i] || text == wanted[i];
            }
        }
    }
}

} // namespace

Result run(const std::string& path, const std::vector<std::string>& args,
           std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) {
        return {};
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& arg : args) {
        if (arg.find('\0') != std::string::npos) {
            return {};
        }
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const std::string executable = HostFiles::path(path);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    const Descriptor readEnd(ends[0]);
    Descriptor writeEnd(aboveStandard(ends[1]));
    Descriptor devNull(aboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC)));
    if (writeEnd.get() < 0 || devNull.get() < 0 ||
        ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) != 0) {
        return {};
    }
    pid_t pid = 0;
    {
        const SpawnSetup setup(devNull.get(), writeEnd.get());
        if (!setup.ready || ::posix_spawn(&pid, executable.c_str(), &setup.actions,
                                          &setup.attributes, argv.data(), environ) != 0) {
            return {};
        }
    }
    writeEnd.reset();
    devNull.reset();

    // Wakes us when the child ends even while something it started keeps the pipe open. Without
    // it (kernels before 5.3) we look every 10 ms.
    const Descriptor exitSignal(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    std::string output;
    bool open = true;
    bool exited = false;
    int status = -1;
    while (true) {
        if (!exited) {
            int waitStatus = 0;
            pid_t reaped = 0;
            do {
                reaped = ::waitpid(pid, &waitStatus, WNOHANG);
            } while (reaped < 0 && errno == EINTR);
            // Reaped by someone else (SIGCHLD ignored), its status is lost: a failure.
            exited = reaped != 0;
            if (reaped == pid) {
                status = exitCode(waitStatus);
            }
        }
        if (exited) {
            // Everything the child wrote is in the pipe by now; what comes later is not its.
            if (open) {
                readAvailable(readEnd.get(), output);
            }
            break;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            killGroup(pid);
            return {};
        }
        pollfd watched[2];
        nfds_t count = 0;
        if (open) {
            watched[count++] = {readEnd.get(), POLLIN, 0};
        }
        if (exitSignal.get() >= 0) {
            watched[count++] = {exitSignal.get(), POLLIN, 0};
        }
        const std::chrono::milliseconds slice = exitSignal.get() >= 0 ? 60'000ms : 10ms;
        const int ready = ::poll(watched, count, static_cast<int>(std::min(left, slice).count()));
        if (ready > 0 && open && watched[0].revents != 0) {
            open = readAvailable(readEnd.get(), output);
        }
    }
    if (status == -1) {
        return {};
    }
    return {status, HostFiles::repairedUTF8(output)};
}

std::vector<std::string> serialUsers(const std::string& path) {
    auto users = serialUsers(std::vector<std::string>{path});
    return std::move(users[path]);
}

std::map<std::string, std::vector<std::string>> serialUsers(const std::vector<std::string>& paths) {
    std::map<std::string, std::vector<std::string>> users;
    std::vector<std::string> wanted;
    std::size_t longest = 0;
    for (const std::string& path : paths) {
        users[path];
        if (!path.empty() && path.size() < 4096 && path.find('\0') == std::string::npos &&
            std::find(wanted.begin(), wanted.end(), path) == wanted.end()) {
            wanted.push_back(path);
            longest = std::max(longest, path.size());
        }
    }
    if (wanted.empty()) {
        return users;
    }
    DIR* proc = ::opendir(HostFiles::path("/proc").c_str());
    if (proc == nullptr) {
        return users;
    }
    std::vector<std::uint64_t> pids;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string_view name(entry->d_name);
        std::uint64_t pid = 0;
        if (allDigits(name) && name.size() <= 19 &&
            std::from_chars(name.data(), name.data() + name.size(), pid).ec == std::errc{}) {
            pids.push_back(pid);
        }
        if (pids.size() == processLimit) {
            break;
        }
    }
    std::sort(pids.begin(), pids.end());
    std::size_t budget = descriptorLimit;
    std::vector<bool> found(wanted.size());
    for (const std::uint64_t pid : pids) {
        if (budget == 0) {
            break;
        }
        const std::string number = std::to_string(pid);
        const Descriptor fds(
            ::openat(::dirfd(proc), (number + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fds.get() < 0) {
            continue;
        }
        found.assign(wanted.size(), false);
        heldPaths(fds.get(), wanted, longest, found, budget);
        if (std::find(found.begin(), found.end(), true) == found.end()) {
            continue;
        }
        // A process that has gone since, or hides its name, is passed over.
        auto comm = HostFiles::read(HostFiles::path("/proc/" + number + "/comm"));
        if (!comm) {
            continue;
        }
        if (!comm->empty() && comm->back() == '\n') {
            comm->pop_back();
        }
        const std::string user = HostFiles::repairedUTF8(*comm) + " (pid " + number + ")";
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (found[i]) {
                users[wanted[i]].push_back(user);
            }
        }
    }
    ::closedir(proc);
    return users;
}

std::vector<std::string> mountedVolumes(const std::string& disk) {
    std::vector<std::string> names;
    const std::vector<BlockDevice> devices = blockDevices(disk);
    if (devices.empty()) {
        return names;
    }
    for (const Mount& mount : mounts()) {
        const bool ours = std::any_of(devices.begin(), devices.end(), [&](const BlockDevice& d) {
            return d.number == mount.number;
        });
        if (!ours) {
            continue;
        }
        std::string name = volumeName(mount.mountPoint);
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::optional<std::string> serviceName(const std::string& interfaceName) {
    if (interfaceName.empty()) {
        return std::nullopt;
    }
    const Result result = run(nmcli, {"-g", "GENERAL.CONNECTION", "device", "show", interfaceName});
    if (result.status != 0) {
        return std::nullopt;
    }
    // nmcli puts a backslash before every ':' and '\' of the value.
    const std::string_view value = trimmed(result.output);
    std::string name;
    name.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
        }
        name += value[i];
    }
    if (name.empty()) {
        return std::nullopt;
    }
    return name;
}

bool ejectDisk(const std::string& disk) {
    if (!plainKernelName(disk)) {
        return false;
    }
    const std::vector<Mount> table = mounts();
    for (const BlockDevice& device : blockDevices(disk)) {
        if (mounted(table, device.number)) {
            run(udisksctl, {"unmount", "-b", "/dev/" + device.name});
        }
    }
    // The power-off goes ahead even when an unmount failed: udisks refuses it while something
    // is still mounted, and a file system that was unmounted meanwhile must not stop it.
    return run(udisksctl, {"power-off", "-b", "/dev/" + disk}).status == 0;
}

bool setNetworkService(const std::string& service, bool on, Acting acting) {
    if (service.empty()) {
        return false;
    }
    // "id" makes nmcli take the next argument as the name even when it begins with '-'.
    std::vector<std::string> args{"connection", on ? "up" : "down", "id", service};
    if (acting == Acting::asService) {
        return run(nmcli, args).status == 0;
    }
    args.insert(args.begin(), nmcli);
    return run(pkexec, args, promptTimeout).status == 0;
}

bool lockScreen(Acting acting) {
    return run(loginctl, {acting == Acting::asService ? "lock-sessions" : "lock-session"}).status ==
           0;
}

bool lockScreenAvailable() {
    return HostFiles::executable(HostFiles::path(loginctl));
}

std::optional<std::string> systemDisk() {
    // A later mount on "/" hides the earlier ones.
    std::optional<std::string> number;
    for (const Mount& mount : mounts()) {
        if (mount.mountPoint == "/") {
            number = mount.number;
        }
    }
    if (!number) {
        return std::nullopt;
    }
    // /sys/dev/block/8:2 -> ../../devices/pci0000:00/…/block/sda/sda2; a partition's folder sits
    // in its disk's folder and has a `partition` attribute.
    constexpr std::string_view byNumber = "/sys/dev/block";
    const auto target = HostFiles::linkText(
        AT_FDCWD, HostFiles::path(std::string(byNumber) + "/" + *number).c_str());
    if (!target) {
        return std::nullopt;
    }
    std::string device = HostFiles::resolved(byNumber, *target);
    if (HostFiles::attribute(HostFiles::path(device + "/partition"))) {
        device.resize(device.rfind('/'));
    }
    std::string name = device.substr(device.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    return name;
}

} // namespace vantrel::Actions
