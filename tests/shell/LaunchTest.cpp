// The vantrel executable as a user starts it: which switch wins, what it prints, its exit
// status, and one copy per user.
#include "tests/linux/FixtureTree.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// An environment with the machine, the home folder and the runtime folder all inside `tree`,
// and no display and no session bus.
QProcessEnvironment isolated(const FixtureTree& tree) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
          "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "VANTREL_TIMING"}) {
        env.remove(QString::fromLatin1(name));
    }
    const QString root = QString::fromStdString(tree.root().string());
    env.insert(QStringLiteral("VANTREL_ROOT"), root);
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    tree.folder("/home");
    tree.folder("/run");
    std::filesystem::permissions(tree.at("/run"), std::filesystem::perms::owner_all);
    return env;
}

Outcome run(const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VANTREL_BINARY), args);
    Outcome result;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

// A USB stick that the kernel holds back, so the snapshot has a line worth recognising.
void machineWithOneDevice(FixtureTree& tree) {
    tree.usbDevice("1-1", {.product = "Stick", .manufacturer = "Maker", .authorized = "0"});
}

TEST(Launch, TheFirstSwitchInOrderDecides) {
    FixtureTree tree;
    machineWithOneDevice(tree);
    const QProcessEnvironment env = isolated(tree);

    const Outcome both = run({QStringLiteral("--self-test"), QStringLiteral("--snapshot")}, env);
    EXPECT_EQ(both.status, 0);
    EXPECT_TRUE(both.out.starts_with("USB devices:\n")) << both.out;
    EXPECT_NE(both.out.find("Stick"), std::string::npos);
    EXPECT_EQ(both.out.find("PASS"), std::string::npos) << "only the snapshot runs";

    const Outcome after = run({QStringLiteral("whatever"), QStringLiteral("--snapshot")}, env);
    EXPECT_EQ(after.out, both.out);

    const Outcome selfTest =
        run({QStringLiteral("--demo-window"), QStringLiteral("--self-test")}, env);
    EXPECT_EQ(selfTest.status, 0);
    EXPECT_TRUE(selfTest.out.starts_with("PASS  ") || selfTest.out.starts_with("FAIL  "))
        << selfTest.out;

    // "--snapshot=1" is no switch, so --agent-status decides.
    const Outcome status =
        run({QStringLiteral("--snapshot=1"), QStringLiteral("--agent-status")}, env);
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.out, "not registered\n");
    EXPECT_EQ(status.err, "");
}

TEST(Launch, AgentSwitchesGiveTheirExitStatus) {
    FixtureTree tree;
    const QProcessEnvironment env = isolated(tree);
    // A file where the configuration folder should be: the unit cannot be written.
    tree.write("/home/.config", "not a folder");

    const Outcome enable = run({QStringLiteral("--enable-agent")}, env);
    EXPECT_EQ(enable.status, 1);
    EXPECT_EQ(enable.out, "");
    EXPECT_TRUE(enable.err.starts_with("Vantrel keep-alive: ")) << enable.err;
    EXPECT_TRUE(enable.err.ends_with("\n"));

    const Outcome disable = run({QStringLiteral("--disable-agent")}, env);
    EXPECT_EQ(disable.status, 0);
    EXPECT_EQ(disable.out + disable.err, "");
}

TEST(Launch, WithoutADisplayItSaysSoAndPrintsTheSnapshot) {
    FixtureTree tree;
    machineWithOneDevice(tree);
    const QProcessEnvironment env = isolated(tree);
    const Outcome snapshot = run({QStringLiteral("--snapshot")}, env);
    const Outcome app = run({}, env);
    EXPECT_EQ(app.status, 0);
    EXPECT_EQ(app.out, snapshot.out);
    EXPECT_NE(app.err.find("no display"), std::string::npos) << app.err;
}

// A tray application in the offscreen platform, running until the test ends.
class RunningCopy {
  public:
    explicit RunningCopy(const QProcessEnvironment& env) {
        QProcessEnvironment withDisplay = env;
        withDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        withDisplay.insert(QStringLiteral("VANTREL_TIMING"), QStringLiteral("1"));
        process_.setProcessEnvironment(withDisplay);
        process_.setReadChannel(QProcess::StandardError);
        process_.start(QStringLiteral(VANTREL_BINARY), {});
    }
    ~RunningCopy() {
        process_.kill();
        process_.waitForFinished();
    }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    // Whether it finished its first scan cycle (and so holds the lock) within 20 seconds.
    bool started() {
        std::string err;
        while (err.find("first cycle done") == std::string::npos) {
            if (process_.state() == QProcess::NotRunning || !process_.waitForReadyRead(20000)) {
                return false;
            }
            err += process_.readAllStandardError().toStdString();
        }
        return true;
    }
    bool running() const { return process_.state() == QProcess::Running; }

  private:
    QProcess process_;
};

TEST(Launch, OneCopyPerUser) {
    FixtureTree tree;
    const QProcessEnvironment env = isolated(tree);
    RunningCopy first(env);
    ASSERT_TRUE(first.started());

    QProcessEnvironment second = env;
    second.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const Outcome again = run({}, second);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out + again.err, "") << "a second copy leaves quietly";
    EXPECT_TRUE(first.running());

    // Another runtime folder alone is not another user: the settings are the same ones.
    tree.folder("/run-other");
    std::filesystem::permissions(tree.at("/run-other"), std::filesystem::perms::owner_all);
    const QString otherRuntime = QString::fromStdString(tree.at("/run-other").string());
    second.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime);
    const Outcome elsewhere = run({}, second);
    EXPECT_EQ(elsewhere.status, 0);
    EXPECT_EQ(elsewhere.out + elsewhere.err, "");

    // Another user (another runtime folder and home) runs a copy of their own.
    tree.folder("/home-other");
    QProcessEnvironment other = env;
    other.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime);
    other.insert(QStringLiteral("HOME"), QString::fromStdString(tree.at("/home-other").string()));
    RunningCopy theirs(other);
    EXPECT_TRUE(theirs.started());
}

// The headless guard over a fixture machine: each event one JSON line as it happens, a device
// plugged in while it runs among them, and SIGTERM ending it with exit 0 and its log saved.
TEST(Launch, HeadlessPrintsEventsAndEndsCleanlyOnSigterm) {
    FixtureTree tree;
    QProcess process;
    process.setProcessEnvironment(isolated(tree));
    process.start(QStringLiteral(VANTREL_BINARY),
                  {QStringLiteral("--headless"), QStringLiteral("--json")});
    ASSERT_TRUE(process.waitForStarted(20000));

    std::vector<nlohmann::json> lines;
    std::string pending;
    // Reads whole lines until one holds `text`, for at most 20 seconds.
    const auto waitFor = [&](const std::string& text) {
        while (process.state() == QProcess::Running && process.waitForReadyRead(20000)) {
            pending += process.readAllStandardOutput().toStdString();
            bool found = false;
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                lines.push_back(nlohmann::json::parse(line));
                found = found ||
                        lines.back()["text"].get<std::string>().find(text) != std::string::npos;
            }
            if (found) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(waitFor("trusted baseline"));
    // It runs as the guard's own executable, which loads no window library.
    const auto image =
        std::filesystem::read_symlink("/proc/" + std::to_string(process.processId()) + "/exe");
    EXPECT_EQ(image.filename(), "vantrel-headless");
    tree.usbDevice("1-1", {.product = "Stick\n{\"level\":\"info\"}", .manufacturer = "Maker"});
    ASSERT_TRUE(waitFor("Stick")) << "the timer's cycle finds the device";

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    std::ifstream stored(tree.at("/home/.local/share/Vantrel/events.json"));
    std::stringstream bytes;
    bytes << stored.rdbuf();
    const auto events = nlohmann::json::parse(bytes.str(), nullptr, false);
    ASSERT_TRUE(events.is_array()) << bytes.str();
    std::set<std::string> saved;
    for (const auto& event : events) {
        saved.insert(event["id"].get<std::string>());
    }
    for (const auto& line : lines) {
        EXPECT_EQ(line.size(), 4u) << line.dump();
        EXPECT_TRUE(line["date"].get<std::string>().ends_with("Z")) << line.dump();
        EXPECT_TRUE(saved.contains(line["id"].get<std::string>())) << line.dump();
    }
}

} // namespace
} // namespace vantrel
