#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/shell/DBusNotifier.h"
#include "tests/TestSupport.h"
#include "tests/shell/NotificationServer.h"
#include "tests/shell/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDeadlineTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

class Notifications : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(recorder.registered());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }

    PrivateBus bus;
    NotificationServer recorder{bus.connect(QStringLiteral("server")), {}};
};

TEST_F(Notifications, EachIsNewWithTheSummaryTheEscapedBodyAndTheSoundHint) {
    DBusNotifier notifier(bus.connect(QStringLiteral("client")));
    notifier.send("New keyboard connected: <b>Evil</b> & \"co\" > you. Unplug it.");
    notifier.send("Second");
    ASSERT_TRUE(waitFor([&] { return recorder.calls.size() == 2; }));

    const QDBusMessage& first = recorder.calls[0];
    EXPECT_EQ(first.interface(), QStringLiteral("org.freedesktop.Notifications"));
    EXPECT_EQ(first.member(), QStringLiteral("Notify"));
    EXPECT_EQ(first.signature(), QStringLiteral("susssasa{sv}i"));
    const QList<QVariant> args = first.arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[0].toString(), QStringLiteral("Vantrel"));
    EXPECT_EQ(args[1].toUInt(), 0U) << "a notification never replaces another";
    EXPECT_EQ(args[3].toString(), QStringLiteral("Vantrel: check this"));
    EXPECT_EQ(args[4].toString(),
              QStringLiteral("New keyboard connected: &lt;b&gt;Evil&lt;/b&gt; &amp; \"co\" &gt; "
                             "you. Unplug it."));
    EXPECT_TRUE(args[5].toStringList().isEmpty());
    const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
    EXPECT_EQ(hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message"));
    EXPECT_EQ(recorder.calls[1].arguments()[1].toUInt(), 0U);
    EXPECT_EQ(recorder.calls[1].arguments()[4].toString(), QStringLiteral("Second"));
}

TEST(NotifierEscaping, OnlyMarkupCharactersChange) {
    const struct {
        std::string body;
        QString escaped;
    } cases[] = {
        {"plain text", QStringLiteral("plain text")},
        {"&amp; stays visible", QStringLiteral("&amp;amp; stays visible")},
        {"<a href=\"x\">click</a>", QStringLiteral("&lt;a href=\"x\"&gt;click&lt;/a&gt;")},
        {"“Stick” ünïcode & 'quotes'", QString::fromUtf8("“Stick” ünïcode &amp; 'quotes'")},
        {"", QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DBusNotifier::escaped(c.body), c.escaped) << c.body;
    }
}

// A Monitor whose notifications go nowhere still logs every event.
TEST(NotifierWithoutServer, EventsAreLoggedAndNothingBreaks) {
    PrivateBus bus; // a bus without a notification server
    ASSERT_FALSE(bus.address().isEmpty());
    DBusNotifier noServer(bus.connect(QStringLiteral("lonely")));
    DBusNotifier noBus(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                     QStringLiteral("nobus")));
    EXPECT_FALSE(QDBusConnection(QStringLiteral("nobus")).isConnected());

    TempFolder folder;
    ScriptedMachine machine;
    VirtualScheduler scheduler;
    ScriptedKeyboardWatcher keyboard(machine, scheduler);
    RecordingPanel panel({});
    for (Notifier* notifier : {static_cast<Notifier*>(&noServer), static_cast<Notifier*>(&noBus)}) {
        Monitor monitor({machine, keyboard, *notifier, panel, scheduler, scheduler},
                        {folder.path / "defaults.json", folder.path / "events.json"});
        monitor.log(Event::Level::warning, "A proxy was turned on: x. Your web traffic …", true);
        QCoreApplication::processEvents();
        ASSERT_FALSE(monitor.events().empty());
        EXPECT_EQ(monitor.events().front().text, "A proxy was turned on: x. Your web traffic …");
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("lonely"));
    QDBusConnection::disconnectFromBus(QStringLiteral("nobus"));
}

} // namespace
} // namespace vantrel
