// Events in a real journal: a journald of the test's own in a private mount namespace (tmpfs over
// /run and the journal folders, so the machine's own journal is never touched), read back with
// journalctl; and the fleet path, that journal uploaded to a collector on the loopback address.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/shell/JournalSink.h"
#include "core/Displayable.h"
#include "tests/TestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

extern char** environ;

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const fs::path journald = "/lib/systemd/systemd-journald";
const fs::path journalRemote = "/lib/systemd/systemd-journal-remote";
const fs::path journalUpload = "/lib/systemd/systemd-journal-upload";

// A program of the test's, started with its output in `log`; stopped when it goes.
struct Process {
    pid_t pid = -1;
    Process(const std::vector<std::string>& argv, const fs::path& log) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    // Waits up to `seconds` for the exit; the status, or nothing if it still runs.
    std::optional<int> wait(double seconds) {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        do {
            int status = 0;
            if (pid < 0 || waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (Clock::now() < until);
        return std::nullopt;
    }
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            if (!wait(3)) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
};

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A journal field as journalctl writes it in JSON: a string, or the bytes of one that is not
// printable text.
std::string fieldText(const json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    std::string bytes;
    if (value.is_array()) {
        for (const json& b : value) {
            bytes.push_back(static_cast<char>(b.get<int>()));
        }
    }
    return bytes;
}

// Polls until `ready` holds, for at most `seconds`.
bool within(double seconds, const std::function<bool()>& ready) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (Clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A journald of this test's own: the test process moves into a mount namespace of its own, where
// /run and the journal folders are empty tmpfs, and journald starts there.
class PrivateJournal : public ::testing::Test {
  protected:
    TempFolder folder;
    std::optional<Process> daemon;

    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root, for a mount namespace of its own";
        }
        if (!fs::exists(journald)) {
            GTEST_SKIP() << journald << " is not installed";
        }
        if (unshare(CLONE_NEWNS) != 0) {
            GTEST_SKIP() << "no mount namespace of its own: " << std::strerror(errno);
        }
        // Nothing mounted here may reach the machine's namespace.
        ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        for (const char* dir : {"/run", "/var/log/journal"}) {
            if (fs::is_directory(dir)) {
                ASSERT_EQ(mount("tmpfs", dir, "tmpfs", 0, "mode=0755"), 0) << dir;
            }
        }
        fs::create_directories("/run/systemd/journal");
        fs::create_directories("/run/log/journal");
        daemon.emplace(std::vector<std::string>{journald}, folder.path / "journald.log");
        ASSERT_TRUE(within(10, [] { return JournalSink::available(); }))
            << "journald did not start: " << contents(folder.path / "journald.log");
    }

    // journalctl's entries, `args` after the options, in JSON.
    std::vector<json> entries(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"/usr/bin/journalctl", "--no-pager", "--all", "-o", "json"};
        argv.insert(argv.end(), args.begin(), args.end());
        const fs::path out = folder.path / "journalctl.json";
        Process journalctl(argv, out);
        EXPECT_TRUE(journalctl.wait(20)) << "journalctl did not finish";
        std::vector<json> found;
        std::istringstream lines(contents(out));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("{")) {
                found.push_back(json::parse(line));
            }
        }
        return found;
    }
    // The entries of Vantrel's events in the private journal, once `count` arrived.
    std::vector<json> vantrelEntries(std::size_t count) {
        std::vector<json> found;
        within(10, [&] { return (found = entries({"-t", "vantrel"})).size() >= count; });
        return found;
    }
};

USBDevice usb(std::uint64_t id, std::string name, std::string serial, std::int64_t product) {
    USBDevice d;
    d.id = id;
    d.name = std::move(name);
    d.vendor = "Acme";
    d.vendorID = 0xabcd;
    d.productID = product;
    d.serial = std::move(serial);
    d.locationID = 0x01100000;
    d.caps = {Capability::storage};
    return d;
}

// What the entry of one event must hold besides the journal's own fields.
std::map<std::string, std::string> expectedFields(const Event& e,
                                                  const std::optional<EventDevice>& device) {
    std::map<std::string, std::string> f{
        {"MESSAGE", e.text},
        {"PRIORITY", e.level == Event::Level::warning ? "4" : "6"},
        {"SYSLOG_IDENTIFIER", "vantrel"},
        {"VANTREL_EVENT_ID", e.id},
        {"VANTREL_LEVEL", e.level == Event::Level::warning ? "warning" : "info"}};
    if (device) {
        f["VANTREL_DEVICE_KEY"] = device->key;
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x", static_cast<unsigned>(device->vendorID));
        f["VANTREL_VENDOR_ID"] = ids;
        std::snprintf(ids, sizeof ids, "%04x", static_cast<unsigned>(device->productID));
        f["VANTREL_PRODUCT_ID"] = ids;
        if (device->trustScore) {
            f["VANTREL_TRUST_SCORE"] = std::to_string(*device->trustScore);
        }
    }
    return f;
}

// The fields of an entry that are not the journal's own (those begin with "_").
std::map<std::string, std::string> ownFields(const json& entry) {
    std::map<std::string, std::string> f;
    for (const auto& [name, value] : entry.items()) {
        if (!name.starts_with("_")) {
            f[name] = fieldText(value);
        }
    }
    return f;
}

TEST_F(PrivateJournal, EveryEventArrivesWithItsFieldsAndAHostileNameStaysOneInertField) {
    // A name and serial with newlines, a field assignment, control characters and 10 KB.
    std::string hostile = "Evil\nMESSAGE=evil\nPRIORITY=0\r\x01\x1b[31m";
    hostile += std::string(10 * 1024, 'A');
    const USBDevice plain = usb(1, "Plain Stick", "P1", 0x0001);
    const USBDevice evil = usb(2, hostile, "S\nVANTREL_LEVEL=info", 0x00a1);

    VirtualScheduler scheduler{Timestamp{813147840}};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    JournalSink sink;
    machine.state.usb = {plain};
    Monitor monitor(
        MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler, &sink},
        MonitorFiles{folder.path / "defaults.json", folder.path / "events.json"});
    machine.state.usb = {plain, evil};
    monitor.deviceChanged();
    scheduler.runUntil(scheduler.now() + 3, true);
    const int score = monitor.trust(monitor.usb().at(1)).score;
    machine.state.usb = {evil};
    monitor.deviceChanged();
    scheduler.runUntil(scheduler.now() + 3, true);

    // Monitor texts are displayable; a raw newline in a value can reach the journal only this way.
    const Event raw{"6F1C2A9E-0D41-4E8B-9C7A-3B5D2E1F0A94", Timestamp{813147900},
                    Event::Level::info, "line one\nPRIORITY=0\nMESSAGE=evil", false};
    sink.record(raw, EventDevice{"abcd:00a1:S\nX=1", 0xabcd, 0x00a1, std::nullopt});

    const std::string evilKey = displayable(evil.key());
    const std::vector<std::pair<std::string, std::optional<EventDevice>>> table{
        {"Vantrel started.", std::nullopt},
        {"New USB device never seen before: ", EventDevice{evilKey, 0xabcd, 0x00a1, score}},
        {"Disconnected: Plain Stick", EventDevice{plain.key(), 0xabcd, 0x0001, std::nullopt}},
    };
    std::vector<std::pair<Event, std::optional<EventDevice>>> expected;
    for (const auto& [prefix, device] : table) {
        const auto e = std::find_if(monitor.events().begin(), monitor.events().end(),
                                    [&](const Event& e) { return e.text.starts_with(prefix); });
        ASSERT_NE(e, monitor.events().end()) << prefix;
        expected.emplace_back(*e, device);
    }
    expected.emplace_back(raw, EventDevice{"abcd:00a1:SX=1", 0xabcd, 0x00a1, std::nullopt});
    ASSERT_EQ(monitor.events().size() + 1, expected.size()) << "an event the table misses";

    const std::vector<json> found = vantrelEntries(expected.size());
    ASSERT_EQ(found.size(), expected.size());
    for (const auto& [event, device] : expected) {
        const auto entry = std::find_if(found.begin(), found.end(), [&](const json& j) {
            return j.value("VANTREL_EVENT_ID", "") == event.id;
        });
        ASSERT_NE(entry, found.end()) << event.text;
        // Exactly these fields: a split value would add one or change one.
        EXPECT_EQ(ownFields(*entry), expectedFields(event, device)) << event.text;
    }
}

// A free TCP port on the loopback address.
int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    close(s);
    return ntohs(a.sin_port);
}

bool listening(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

TEST_F(PrivateJournal, AnEventReachesTheCollectorWithItsFields) {
    if (!fs::exists(journalRemote) || !fs::exists(journalUpload)) {
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    }
    const Event event{"0C5B7D3E-8A21-4F6C-B9D0-1E2F3A4B5C6D", Timestamp{813147900},
                      Event::Level::warning, "New USB device never seen before: Stick", false};
    const EventDevice device{"abcd:00a1:S1", 0xabcd, 0x00a1, 17};
    JournalSink().record(event, device);
    ASSERT_EQ(vantrelEntries(1).size(), 1u);

    const int port = freePort();
    const fs::path collected = folder.path / "remote.journal";
    Process remote({journalRemote, "--listen-http=127.0.0.1:" + std::to_string(port),
                    "--split-mode=none", "--output=" + collected.string()},
                   folder.path / "remote.log");
    ASSERT_TRUE(within(10, [&] { return listening(port); }))
        << "the collector did not listen: " << contents(folder.path / "remote.log");
    // The journal folder journald chose: the runtime one until it is asked to flush.
    fs::path journal = "/run/log/journal";
    for (const auto& file : fs::recursive_directory_iterator("/var/log/journal")) {
        if (file.path().extension() == ".journal") {
            journal = "/var/log/journal";
        }
    }
    Process upload({journalUpload, "--url=http://127.0.0.1:" + std::to_string(port),
                    "--directory=" + journal.string(),
                    "--save-state=" + (folder.path / "upload.state").string()},
                   folder.path / "upload.log");

    std::vector<json> arrived;
    within(30, [&] {
        arrived = fs::exists(collected) ? entries({"--file", collected.string(), "-t", "vantrel"})
                                        : std::vector<json>{};
        return !arrived.empty();
    });
    ASSERT_EQ(arrived.size(), 1u) << "upload: " << contents(folder.path / "upload.log")
                                  << "\ncollector: " << contents(folder.path / "remote.log");
    EXPECT_EQ(ownFields(arrived.front()), expectedFields(event, device));
}

// A fixture machine (tests, benchmarks) has a journal only where its own tree has the socket, so
// its events never reach the system's journal.
TEST(JournalSink, IsLookedForOnTheMachineVantrelReads) {
    const TempFolder folder;
    const EnvGuard root("VANTREL_ROOT", folder.path.c_str());
    EXPECT_FALSE(JournalSink::available());
    const fs::path socketPath = folder.path / "run/systemd/journal/socket";
    fs::create_directories(socketPath.parent_path());
    const int s = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_TRUE(JournalSink::available());
    ::close(s);
}

} // namespace
} // namespace vantrel
