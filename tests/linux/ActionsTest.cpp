#include "app/linux/Actions.h"

#include "tests/linux/StubTool.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Calls = ToolCalls;

const std::string fffd = "\xEF\xBF\xBD";

void stub(const FixtureTree& tree, const std::string& tool, int status, std::string body = "") {
    stubTool(tree, tool, status, std::move(body));
}
void answering(const FixtureTree& tree, const std::string& tool, int status,
               const std::string& output) {
    answeringTool(tree, tool, status, output);
}
Calls calls(const FixtureTree& tree, const std::string& tool) {
    return toolCalls(tree, tool);
}

// ---- run --------------------------------------------------------------------------------------

TEST(ActionsRun, StatusOutputAndTimeBound) {
    const struct {
        const char* what;
        std::string body;
        std::chrono::milliseconds timeout;
        int status;
        std::string output;
    } cases[] = {
        {"exit code and output", "printf 'one\\ntwo'; exit 3", 5s, 3, "one\ntwo"},
        {"output not UTF-8", "printf 'Caf\\351\\n'", 5s, 0, "Caf" + fffd + "\n"},
        {"stdin and stderr", "readlink /proc/$$/fd/0 /proc/$$/fd/2", 5s, 0,
         "/dev/null\n/dev/null\n"},
        {"killed by a signal", "printf gone; kill -9 $$", 5s, -1, ""},
        {"floods stderr", "head -c 3000000 /dev/zero >&2; printf done", 5s, 0, "done"},
        {"output over the limit", "head -c 3000000 /dev/zero | tr '\\000' a; printf end", 5s, 0,
         std::string(Actions::outputLimit, 'a')},
        {"sleeps past the bound", "printf early; sleep 5", 300ms, -1, ""},
        {"closes output and sleeps", "exec >&-; sleep 5", 300ms, -1, ""},
        {"leaves a child holding output", "sleep 3 & printf hi", 2s, 0, "hi"},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        stub(tree, "/usr/bin/tool", 0, c.body);
        const auto start = std::chrono::steady_clock::now();
        const Actions::Result result = Actions::run("/usr/bin/tool", {}, c.timeout);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.output.size(), c.output.size()) << c.what;
        EXPECT_TRUE(result.output == c.output) << c.what;
        EXPECT_LT(took, c.timeout + 1s) << c.what;
    }
}

TEST(ActionsRun, PassesArgumentsUnchanged) {
    FixtureTree tree;
    stub(tree, "/usr/bin/tool", 0);
    const std::vector<std::string> args = {
        "", " two  words ", "-x; rm -rf /", "a\nb", "$(id)", "'\"\\", "*"};
    EXPECT_EQ(Actions::run("/usr/bin/tool", args).status, 0);
    EXPECT_EQ(calls(tree, "/usr/bin/tool"), Calls{args});
}

TEST(ActionsRun, RefusesWhatItCannotRunAsGiven) {
    FixtureTree tree;
    stub(tree, "/usr/bin/tool", 0, "printf ran");
    tree.write("/usr/bin/plain", "#!/bin/sh\nprintf ran\n");
    tree.write("/usr/bin/script", "printf ran\n");
    fs::permissions(tree.at("/usr/bin/script"), fs::perms::owner_all);
    const struct {
        std::string path;
        std::vector<std::string> args;
    } cases[] = {
        {"usr/bin/tool", {}},                        // relative, though the tool is there
        {"./usr/bin/tool", {}},                      //
        {"", {}},                                    //
        {"/usr/bin/missing", {}},                    //
        {"/usr/bin/plain", {}},                      // not executable
        {"/usr/bin/script", {}},                     // no interpreter line: not run through a shell
        {"/usr/bin", {}},                            // a folder
        {"/usr/bin/tool", {std::string("a\0b", 3)}}, // would be cut short
    };
    for (const auto& c : cases) {
        const Actions::Result result = Actions::run(c.path, c.args);
        EXPECT_EQ(result.status, -1) << c.path;
        EXPECT_EQ(result.output, "") << c.path;
    }
    EXPECT_TRUE(calls(tree, "/usr/bin/tool").empty());
}

TEST(ActionsRun, KeepsOurDescriptorsToItself) {
    FixtureTree tree;
    tree.write("/held", "");
    const int held = ::open(tree.at("/held").c_str(), O_RDONLY); // no close-on-exec
    ASSERT_GE(held, 0);
    stub(tree, "/usr/bin/tool", 0, "readlink /proc/$$/fd/" + std::to_string(held));
    const Actions::Result result = Actions::run("/usr/bin/tool", {});
    ::close(held);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "");
}

// ---- The tools --------------------------------------------------------------------------------

TEST(ActionsTools, ServiceName) {
    const struct {
        std::string interface;
        int status;
        std::string output;
        std::optional<std::string> expected;
    } cases[] = {
        {"enx00e04c680001", 0, "Lab's \"Dock\"\n", "Lab's \"Dock\""},
        {"eth0", 0, "  Lab\\: 2\\\\3 \n", "Lab: 2\\3"},
        {"wlan0", 0, "Caf\xE9\n", "Caf" + fffd},
        {"-x; rm -rf /", 0, "Wired\n", "Wired"},
        {"eth1", 0, "\n", std::nullopt},
        {"eth2", 10, "Error: Device 'eth2' not found.\n", std::nullopt},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        answering(tree, "/usr/bin/nmcli", c.status, c.output);
        EXPECT_EQ(Actions::serviceName(c.interface), c.expected) << c.interface;
        EXPECT_EQ(calls(tree, "/usr/bin/nmcli"),
                  (Calls{{"-g", "GENERAL.CONNECTION", "device", "show", c.interface}}));
    }
    FixtureTree empty;
    EXPECT_EQ(Actions::serviceName("eth0"), std::nullopt);
}

TEST(ActionsTools, SetNetworkService) {
    const struct {
        std::string name;
        bool on;
        int status;
        bool expected;
    } cases[] = {
        {"Lab's \"Dock\"", false, 0, true},
        {"-x; rm -rf /", true, 0, true},
        {"two\nlines", false, 0, true},
        {" B\xC3\xBCro LAN ", true, 0, true},
        {"$(touch /tmp/vantrel-pwned)", false, 0, true},
        {"Dock", false, 126, false}, // refused or cancelled
        {"Dock", true, 127, false},  // no authority to ask
        {"Dock", true, 4, false},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        stub(tree, "/usr/bin/pkexec", c.status);
        EXPECT_EQ(Actions::setNetworkService(c.name, c.on), c.expected) << c.name;
        EXPECT_EQ(calls(tree, "/usr/bin/pkexec"),
                  (Calls{{"/usr/bin/nmcli", "connection", c.on ? "up" : "down", "id", c.name}}));
    }
    EXPECT_FALSE(fs::exists("/tmp/vantrel-pwned"));
    FixtureTree tree;
    stub(tree, "/usr/bin/pkexec", 0);
    EXPECT_FALSE(Actions::setNetworkService("", false));
    EXPECT_TRUE(calls(tree, "/usr/bin/pkexec").empty());
    tree.remove("/usr/bin/pkexec");
    EXPECT_FALSE(Actions::setNetworkService("Dock", false));
}

// The service runs without new privileges: nmcli itself, never pkexec, the rights coming from
// the polkit rules.
TEST(ActionsTools, SetNetworkServiceAsTheService) {
    for (const auto& [status, expected] : {std::pair{0, true}, {10, false}}) {
        FixtureTree tree;
        stub(tree, "/usr/bin/pkexec", 0);
        stub(tree, "/usr/bin/nmcli", status);
        EXPECT_EQ(Actions::setNetworkService("-Dock", false, Actions::Acting::asService), expected);
        EXPECT_EQ(calls(tree, "/usr/bin/nmcli"), (Calls{{"connection", "down", "id", "-Dock"}}));
        EXPECT_TRUE(calls(tree, "/usr/bin/pkexec").empty());
    }
}

TEST(ActionsTools, LockScreen) {
    using Acting = Actions::Acting;
    const struct {
        Acting acting;
        int status;
        bool expected;
        std::string verb;
    } cases[] = {
        {Acting::forSession, 0, true, "lock-session"},
        {Acting::forSession, 1, false, "lock-session"},
        {Acting::asService, 0, true, "lock-sessions"},
        {Acting::asService, 1, false, "lock-sessions"},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        stub(tree, "/usr/bin/loginctl", c.status);
        EXPECT_EQ(Actions::lockScreen(c.acting), c.expected);
        EXPECT_EQ(calls(tree, "/usr/bin/loginctl"), Calls{{c.verb}});
    }
    FixtureTree empty;
    EXPECT_FALSE(Actions::lockScreen());
}

// ---- Disks and mounts -------------------------------------------------------------------------

// A block device as sysfs shows it: a folder below /sys/devices with its device number, the
// link in /sys/block, and partition folders with theirs.
void disk(const FixtureTree& tree, const std::string& name, const std::string& number,
          const std::vector<std::pair<std::string, std::string>>& partitions = {}) {
    const std::string folder = "/sys/devices/pci0000:00/host0/block/" + name;
    tree.attribute(folder + "/dev", number);
    tree.folder(folder + "/queue");
    tree.link(folder + "/subsystem", "../../../../class/block");
    tree.link("/sys/block/" + name, "../devices/pci0000:00/host0/block/" + name);
    int index = 0;
    for (const auto& [part, partNumber] : partitions) {
        tree.attribute(folder + "/" + part + "/dev", partNumber);
        tree.attribute(folder + "/" + part + "/partition", std::to_string(++index));
    }
}

void machineWithDisks(const FixtureTree& tree) {
    disk(tree, "nvme0n1", "259:0", {{"nvme0n1p1", "259:1"}, {"nvme0n1p2", "259:2"}});
    disk(tree, "sdb", "8:16", {{"sdb1", "8:17"}, {"sdb2", "8:18"}, {"sdb3", "8:19"}});
    disk(tree, "sdc", "8:32");
    disk(tree, "sdd", "8:48", {{"sdd1", "8:49"}});
    tree.write("/proc/self/mountinfo",
               "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
               "23 22 259:1 / /boot/efi rw - vfat /dev/nvme0n1p1 rw\n"
               "24 22 0:22 / /proc rw - proc proc rw\n"
               "30 22 8:17 / /media/ann/My\\040Stick rw,nosuid - vfat /dev/sdb1 rw\n"
               "31 22 8:19 / /mnt/tab\\011nl\\012back\\134slash rw - ext4 /dev/sdb3 rw\n"
               "32 22 8:17 / /srv/share/My\\040Stick rw - vfat /dev/sdb1 rw\n"
               "33 22 8:161 / /media/ann/OTHER rw - vfat /dev/sdk1 rw\n"
               "34 22 8:32 / /media/ann/CARD rw - vfat /dev/sdc rw\n"
               "broken line\n"
               "35 22 8:1 /sub /mnt/sub rw - ext4 /dev/sda1 rw");
}

TEST(ActionsDisks, MountedVolumes) {
    FixtureTree tree;
    machineWithDisks(tree);
    const struct {
        std::string disk;
        std::vector<std::string> expected;
    } cases[] = {
        {"sdb", {"My Stick", "tab\tnl\nback\\slash"}},
        {"nvme0n1", {"/", "efi"}},
        {"sdc", {"CARD"}},
        {"sdd", {}},
        {"sdx", {}},
        {"../sdb", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Actions::mountedVolumes(c.disk), c.expected) << c.disk;
    }
}

TEST(ActionsDisks, EjectUnmountsThenPowersOff) {
    const struct {
        std::string disk;
        int status;
        bool expected;
        Calls calls;
    } cases[] = {
        {"sdb",
         0,
         true,
         {{"unmount", "-b", "/dev/sdb1"},
          {"unmount", "-b", "/dev/sdb3"},
          {"power-off", "-b", "/dev/sdb"}}},
        {"sdc", 0, true, {{"unmount", "-b", "/dev/sdc"}, {"power-off", "-b", "/dev/sdc"}}},
        {"sdd", 0, true, {{"power-off", "-b", "/dev/sdd"}}},
        {"sdc", 1, false, {{"unmount", "-b", "/dev/sdc"}, {"power-off", "-b", "/dev/sdc"}}},
        {"../sda", 0, false, {}},
        {"-sdb", 0, false, {}},
        {"sd b", 0, false, {}},
        {"SDB", 0, false, {}},
        {"sdb\n", 0, false, {}},
        {"", 0, false, {}},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        machineWithDisks(tree);
        stub(tree, "/usr/bin/udisksctl", c.status);
        EXPECT_EQ(Actions::ejectDisk(c.disk), c.expected) << c.disk;
        EXPECT_EQ(calls(tree, "/usr/bin/udisksctl"), c.calls) << c.disk;
    }
}

// ---- Processes --------------------------------------------------------------------------------

TEST(ActionsProcesses, SerialUsers) {
    FixtureTree tree;
    const auto process = [&](const std::string& pid, const char* comm,
                             std::vector<std::pair<std::string, std::string>> fds) {
        if (comm != nullptr) {
            tree.write("/proc/" + pid + "/comm", comm);
        }
        tree.folder("/proc/" + pid + "/fd");
        for (const auto& [fd, target] : fds) {
            tree.link("/proc/" + pid + "/fd/" + fd, target);
        }
    };
    process("1000",
            "ba\xFF"
            "d\n",
            {{"0", "/dev/null"}, {"4", "/dev/ttyUSB0"}, {"7", "/dev/ttyUSB0"}});
    process("412", "screen\n", {{"3", "/dev/ttyUSB0"}, {"5", "socket:[4242]"}});
    process("99", "zsh\n", {{"5", "/dev/ttyUSB0"}});
    process("77", "cat\n", {{"3", "/dev/ttyUSB01"}, {"4", "/dev/ttyUSB0 (deleted)"}});
    process("600", nullptr, {{"3", "/dev/ttyUSB0"}}); // gone before its name was read
    process("self", "me\n", {{"3", "/dev/ttyUSB0"}});
    tree.write("/proc/500/comm", "locked\n");
    tree.write("/proc/500/fd", ""); // cannot be listed
    tree.write("/proc/uptime", "1.0 2.0\n");

    const struct {
        std::string path;
        std::vector<std::string> expected;
    } cases[] = {
        {"/dev/ttyUSB0", {"zsh (pid 99)", "screen (pid 412)", "ba" + fffd + "d (pid 1000)"}},
        {"/dev/ttyUSB01", {"cat (pid 77)"}},
        {"/dev/ttyUSB", {}},
        {"/dev/ttyACM0", {}},
        {"", {}},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        EXPECT_EQ(Actions::serialUsers(c.path), c.expected) << c.path;
        paths.push_back(c.path);
    }
    // All lines in one pass find the same holders.
    const auto all = Actions::serialUsers(paths);
    ASSERT_EQ(all.size(), std::size(cases));
    for (const auto& c : cases) {
        EXPECT_EQ(all.at(c.path), c.expected) << c.path;
    }
}

} // namespace
} // namespace vantrel
