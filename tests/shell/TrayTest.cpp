// The running application's parts on Qt's event loop: the scheduler's timers and background
// work, and the tray icon following the unreviewed warnings.
#include "app/linux/Actions.h"
#include "app/linux/ChildProcesses.h"
#include "app/shell/QtScheduler.h"
#include "app/shell/TrayApp.h"
#include "tests/linux/FixtureTree.h"
#include "tests/linux/StubTool.h"

#include <chrono>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

template <typename Done> bool waitFor(Done done, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

TEST(QtScheduler, TimersAndBackgroundWorkRunWhereTheyShould) {
    QtScheduler scheduler;
    std::vector<std::string> order;
    scheduler.after(0.05, [&] { order.push_back("later"); });
    scheduler.after(0, [&] { order.push_back("now"); });
    int ticks = 0;
    scheduler.every(0.01, [&] { return ++ticks < 3; });

    QThread* worker = nullptr;
    QThread* finisher = nullptr;
    scheduler.background([&] {
        worker = QThread::currentThread();
        return [&] { finisher = QThread::currentThread(); };
    });

    ASSERT_TRUE(waitFor([&] { return order.size() == 2 && finisher != nullptr; }));
    EXPECT_EQ(order, (std::vector<std::string>{"now", "later"}));
    EXPECT_NE(worker, QCoreApplication::instance()->thread());
    EXPECT_EQ(finisher, QCoreApplication::instance()->thread());
    waitFor([&] { return false; }, 100);
    EXPECT_EQ(ticks, 3) << "a tick that returns false is the last";
}

TEST(QtScheduler, ResultsOfWorkStillRunningAtTheEndAreDropped) {
    bool finished = false;
    {
        QtScheduler scheduler;
        scheduler.background([&] {
            QThread::msleep(50);
            return [&] { finished = true; };
        });
    } // waits for the work, then drops its result
    QCoreApplication::processEvents();
    EXPECT_FALSE(finished);
}

TEST(QtScheduler, TheEndKillsAToolThatWouldKeepItWaiting) {
    FixtureTree tree;
    // A password prompt nobody answers, that shrugs off SIGTERM.
    const std::string open = tree.at("/prompt-open").string();
    stubTool(tree, "/usr/bin/pkexec", 0, "trap '' TERM\n: > '" + open + "'\nsleep 120");
    auto scheduler = std::make_unique<QtScheduler>([] { ChildProcesses::endGroups(); });
    bool switched = true;
    scheduler->background([&switched] {
        switched = Actions::setNetworkService("Home", false);
        return Scheduler::Task{};
    });
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(open); }));

    const auto began = std::chrono::steady_clock::now();
    scheduler.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
    EXPECT_FALSE(switched) << "a killed prompt is no success";
}

TEST(TrayApp, IconFollowsTheUnreviewedWarnings) {
    FixtureTree tree; // an empty machine
    const EnvGuard config("XDG_CONFIG_HOME", (tree.root() / "config").c_str());
    const EnvGuard data("XDG_DATA_HOME", (tree.root() / "data").c_str());
    const EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");

    bool firstCycle = false;
    TrayApp app([&] { firstCycle = true; });
    EXPECT_TRUE(firstCycle);
    EXPECT_FALSE(app.alert()) << "the start-up line is only information";

    app.monitor().log(Event::Level::info, "Connected: Mouse", false);
    EXPECT_FALSE(app.alert());
    app.monitor().log(Event::Level::warning, "DNS servers changed to: 1.1.1.1.", false);
    EXPECT_TRUE(app.alert());
    app.monitor().markAllReviewed();
    EXPECT_FALSE(app.alert());
}

} // namespace
} // namespace vantrel
