// "Hold new devices while locked" over the real policy daemon, its D-Bus bridge and polkit on a
// private system bus, with a stand-in of the login manager whose session the test locks.
#include "app/shell/LockHold.h"

#include "tests/TestSupport.h"
#include "tests/shell/LoginStandIn.h"
#include "tests/stack/UsbGuardStack.h"

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// Runs the event loop until `done` or five seconds passed.
template <typename Done> bool waitFor(Done done) {
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Runs the event loop for `ms` milliseconds: time for anything that would happen to happen.
void settle(int ms = 400) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

class LockHoldTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(stack.ready()) << stack.error(); }
    void TearDown() override {
        login.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("lock-hold-other"));
        QDBusConnection::disconnectFromBus(QStringLiteral("lock-hold-login"));
    }

    QDBusConnection connection(const char* name) const {
        return QDBusConnection::connectToBus(QString::fromStdString(stack.address()),
                                             QLatin1String(name));
    }
    void startLogin() {
        login.emplace(connection("lock-hold-login"));
        ASSERT_TRUE(login->registered());
    }
    std::unique_ptr<LockHold> hold() {
        return std::make_unique<LockHold>(stack.bus(), marker, [this] { ++changes; });
    }

    // The daemon's InsertedDevicePolicy, read and set by another client than the LockHold.
    std::string parameter() const {
        const QDBusMessage reply =
            other.call(QDBusMessage::createMethodCall(
                           QStringLiteral("org.usbguard1"), QStringLiteral("/org/usbguard1"),
                           QStringLiteral("org.usbguard1"), QStringLiteral("getParameter"))
                       << QStringLiteral("InsertedDevicePolicy"));
        return reply.arguments().value(0).toString().toStdString();
    }
    void setParameter(const char* value) const {
        const QDBusMessage reply =
            other.call(QDBusMessage::createMethodCall(
                           QStringLiteral("org.usbguard1"), QStringLiteral("/org/usbguard1"),
                           QStringLiteral("org.usbguard1"), QStringLiteral("setParameter"))
                       << QStringLiteral("InsertedDevicePolicy") << QLatin1String(value));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    std::optional<std::string> markerValue() const {
        std::ifstream in(marker);
        if (!in) {
            return std::nullopt;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return LockHold::rememberedIn(bytes).value_or("unreadable");
    }
    // A LockHold with the switch on whose session is now locked, holding new devices.
    void lockAndHold(LockHold& holder) {
        ASSERT_TRUE(waitFor([&] { return holder.mayHold(); })) << "polkit authorises root";
        holder.setOn(true);
        login->setLocked(true);
        ASSERT_TRUE(waitFor([&] { return holder.holding(); }));
        EXPECT_EQ(parameter(), "block");
    }

    UsbGuardStack stack;
    TempFolder home;
    std::filesystem::path marker = home.path / "Vantrel" / "lock-hold.json";
    QDBusConnection other = connection("lock-hold-other");
    std::optional<LoginStandIn> login;
    int changes = 0;
};

// However the hold ends (unlock, switch off, quit), the value that was there is back and the
// marker is gone.
TEST_F(LockHoldTest, LockBlocksAndEachEndPutsBackTheValueThatWasThere) {
    enum class End { unlock, switchOff, quit };
    const struct {
        const char* previous;
        End end;
    } cases[] = {
        {"apply-policy", End::unlock},
        {"reject", End::switchOff},
        {"apply-policy", End::quit},
    };
    startLogin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.previous);
        setParameter(c.previous);
        login->setLocked(false);
        auto holder = hold();
        changes = 0;
        lockAndHold(*holder);
        EXPECT_EQ(markerValue(), c.previous) << "remembered before it is set";
        EXPECT_GE(changes, 1);

        const int before = changes;
        switch (c.end) {
        case End::unlock:
            login->setLocked(false);
            break;
        case End::switchOff:
            holder->setOn(false);
            break;
        case End::quit:
            holder.reset();
            break;
        }
        EXPECT_TRUE(waitFor([&] { return parameter() == c.previous; })) << parameter();
        EXPECT_TRUE(waitFor([&] { return !markerValue(); }));
        if (holder) {
            EXPECT_FALSE(holder->holding());
            EXPECT_GT(changes, before) << "the engine hears that holding ended";
        }
    }
}

TEST_F(LockHoldTest, AChangeBySomebodyElseWhileLockedStands) {
    startLogin();
    auto holder = hold();
    lockAndHold(*holder);
    setParameter("reject");
    EXPECT_TRUE(waitFor([&] { return !holder->holding(); })) << "no longer ours to hold";
    settle();
    EXPECT_EQ(parameter(), "reject") << "not set to block again while the session stays locked";
    login->setLocked(false);
    EXPECT_TRUE(waitFor([&] { return !markerValue(); }));
    settle();
    EXPECT_EQ(parameter(), "reject");
}

TEST_F(LockHoldTest, SwitchOffOrNoLoginManagerNeverSets) {
    {
        auto holder = hold(); // no login manager on the bus: never locked
        ASSERT_TRUE(waitFor([&] { return holder->mayHold(); }));
        holder->setOn(true);
        settle();
        EXPECT_FALSE(holder->holding());
        EXPECT_FALSE(holder->locked());
        EXPECT_EQ(parameter(), "apply-policy");
        EXPECT_FALSE(markerValue());
    }
    startLogin();
    auto holder = hold();
    ASSERT_TRUE(waitFor([&] { return holder->mayHold(); }));
    const int before = changes;
    login->setLocked(true);
    settle();
    EXPECT_TRUE(holder->locked()) << "followed with the switch off too";
    EXPECT_GT(changes, before) << "the lock is reported";
    EXPECT_FALSE(holder->holding());
    EXPECT_EQ(parameter(), "apply-policy");
    EXPECT_FALSE(markerValue());
    // Turned on while locked, it holds at once: the waits above were long enough to see it.
    holder->setOn(true);
    EXPECT_TRUE(waitFor([&] { return holder->holding(); }));
    EXPECT_EQ(parameter(), "block");
}

// A marker left by a copy that ended while holding: put back at the next start when it is ours
// and the value is still block; any other file is removed and nothing is set.
TEST_F(LockHoldTest, AMarkerLeftAtTheEndIsPutBackOnceAndAForeignOneIsDropped) {
    // The marker as a copy holding leaves it, taken before that copy puts the value back.
    startLogin();
    std::string left;
    {
        auto holder = hold();
        lockAndHold(*holder);
        std::ifstream in(marker, std::ios::binary);
        left.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        login->setLocked(false);
        ASSERT_TRUE(waitFor([&] { return !markerValue(); }));
    }
    const struct {
        std::string bytes;
        const char* current;
        const char* after;
        bool login;
    } cases[] = {
        {left, "block", "apply-policy", true},
        {R"({"InsertedDevicePolicy":"reject"})", "block", "reject", false},
        {R"({"InsertedDevicePolicy":"apply-policy"})", "reject", "reject", true},
        {R"({"InsertedDevicePolicy":)", "block", "block", true},
        {R"({"InsertedDevicePolicy":"allow\"; rm -rf /"})", "block", "block", true},
        {R"(["apply-policy"])", "block", "block", true},
        {R"({"InsertedDevicePolicy":"apply-policy"})" + std::string(5000, ' '), "block", "block",
         true},
        {std::string("\0\xff\xfe", 3), "block", "block", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 60));
        if (c.login && !login) {
            startLogin();
        } else if (!c.login) {
            login.reset();
        }
        setParameter(c.current);
        std::filesystem::create_directories(marker.parent_path());
        std::ofstream(marker, std::ios::binary) << c.bytes;
        auto holder = hold();
        EXPECT_TRUE(waitFor([&] { return !markerValue(); }));
        settle(200);
        EXPECT_EQ(parameter(), c.after);
        EXPECT_FALSE(holder->holding());
    }
}

} // namespace
} // namespace vantrel
