// The prompt's question as a notification with "Allow" and "Don’t Allow", against a recording
// notification server on a private session bus.
#include "app/shell/PromptNotification.h"

#include "tests/shell/NotificationServer.h"
#include "tests/shell/PrivateBus.h"

#include <optional>

#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct FixedClock final : Clock {
    Timestamp now() const override { return Timestamp{813147840}; }
};

// Runs the event loop for `ms` milliseconds: time for a call that would come to come.
void settle(int ms = 200) {
    waitFor([] { return false; }, ms);
}

const TrustRequest keyboard{
    "USB port 1-1",
    {{"Gadget <b>Evil</b> & co", "Acme", 0x1234, 0x5678, {Capability::input}, std::nullopt}}};

class PromptNotificationTest : public ::testing::Test {
  protected:
    void TearDown() override {
        note.reset();
        server.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        bus.reset();
    }

    // A bus of its own with a server listing `capabilities`, and the notification over it,
    // answering into the counts.
    void start(QStringList capabilities) {
        TearDown();
        bus.emplace();
        ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon did not start";
        server.emplace(bus->connect(QStringLiteral("server")), std::move(capabilities));
        ASSERT_TRUE(server->registered());
        note.emplace(bus->connect(QStringLiteral("client")), clock);
        allowed = refused = 0;
        note->setAnswers({.available = [this] { return available; },
                          .allow = [this] { ++allowed; },
                          .refuse = [this] { ++refused; }});
    }
    std::vector<QDBusMessage> posts() const { return server->callsOf("Notify"); }
    // The ids closed, in order.
    std::vector<uint> closed() const {
        std::vector<uint> ids;
        for (const QDBusMessage& call : server->callsOf("CloseNotification")) {
            ids.push_back(call.arguments().value(0).toUInt());
        }
        return ids;
    }

    std::optional<PrivateBus> bus;
    FixedClock clock;
    std::optional<NotificationServer> server;
    std::optional<PromptNotification> note;
    bool available = true;
    int allowed = 0;
    int refused = 0;
};

TEST_F(PromptNotificationTest, PostedWithBothAnswersOnlyWhereTheServerListsActions) {
    const struct {
        QStringList capabilities;
        bool posted;
    } cases[] = {
        {{QStringLiteral("body"), QStringLiteral("actions"), QStringLiteral("sound")}, true},
        {{QStringLiteral("body"), QStringLiteral("body-markup")}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capabilities.join(u' ').toStdString());
        start(c.capabilities);
        note->show(keyboard);
        ASSERT_TRUE(waitFor([&] { return !server->callsOf("GetCapabilities").empty(); }));
        settle();
        ASSERT_EQ(posts().size(), c.posted ? 1U : 0U);
        note->show(keyboard); // the same question again
        note->hide();
        settle();
        EXPECT_EQ(server->callsOf("GetCapabilities").size(), 1U) << "asked once";
        if (!c.posted) {
            EXPECT_TRUE(posts().empty());
            continue;
        }
        const QList<QVariant> args = posts().front().arguments();
        ASSERT_EQ(args.size(), 8);
        EXPECT_EQ(args[3].toString(), QStringLiteral("Vantrel: allow this device?"));
        EXPECT_EQ(args[5].toStringList(),
                  (QStringList{QStringLiteral("allow"), QStringLiteral("Allow"),
                               QStringLiteral("refuse"), QStringLiteral("Don’t Allow")}));
        EXPECT_EQ(posts().size(), 1U) << "an unchanged question is not posted again";
        EXPECT_EQ(closed(), std::vector<uint>{1}) << "closed when the prompt goes away";
    }
}

TEST_F(PromptNotificationTest, ADeviceNameIsTextNeverMarkup) {
    start({QStringLiteral("actions"), QStringLiteral("body-markup")});
    note->show(keyboard);
    ASSERT_TRUE(waitFor([&] { return posts().size() == 1; }));
    const QString body = posts().front().arguments().value(4).toString();
    EXPECT_TRUE(body.startsWith(QStringLiteral("Gadget &lt;b&gt;Evil&lt;/b&gt; &amp; co on USB "
                                               "port 1-1. Trust score ")))
        << body.toStdString();
    EXPECT_FALSE(body.contains(QStringLiteral("<b>")));
}

// Only the notification's own "allow" and "refuse", while the session is unlocked, answer.
TEST_F(PromptNotificationTest, ItsActionsAnswerLikeThePanelsButtonsAndNothingElseDoes) {
    const struct {
        const char* name;
        const char* key;
        uint idOffset;
        bool lockFirst;
        int allowed;
        int refused;
    } cases[] = {
        {"allow", "allow", 0, false, 1, 0},
        {"refuse", "refuse", 0, false, 0, 1},
        {"a click on the body", "default", 0, false, 0, 0},
        {"another notification's", "allow", 1, false, 0, 0},
        {"while locked", "allow", 0, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start({QStringLiteral("actions")});
        note->show(keyboard);
        ASSERT_TRUE(waitFor([&] { return posts().size() == 1; }));
        if (c.lockFirst) {
            note->setLocked(true);
            EXPECT_TRUE(waitFor([&] { return closed() == std::vector<uint>{1}; }))
                << "closed while the session is locked";
        }
        server->invoke(1 + c.idOffset, QLatin1String(c.key));
        if (c.allowed + c.refused > 0) {
            waitFor([&] { return allowed + refused > 0; });
        } else {
            settle();
        }
        EXPECT_EQ(allowed, c.allowed);
        EXPECT_EQ(refused, c.refused);
    }
}

TEST_F(PromptNotificationTest, NothingIsPostedWhileLockedOrUnanswerableAndItComesBackAfter) {
    start({QStringLiteral("actions")});
    note->setLocked(true);
    available = false;
    note->show(keyboard);
    settle();
    note->setLocked(false);
    settle();
    EXPECT_TRUE(posts().empty()) << "no answer could reach the device policy";
    available = true;
    note->updateAnswers();
    ASSERT_TRUE(waitFor([&] { return posts().size() == 1; }));
    note->setLocked(true);
    ASSERT_TRUE(waitFor([&] { return closed().size() == 1; }));
    note->setLocked(false);
    ASSERT_TRUE(waitFor([&] { return posts().size() == 2; })) << "posted again at unlock";
    note.reset();
    EXPECT_TRUE(waitFor([&] { return closed().size() == 2; })) << "closed at quit";
}

} // namespace
} // namespace vantrel
