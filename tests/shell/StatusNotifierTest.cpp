// The tray icon as a desktop with a status-notifier host sees it (GNOME's extension, KDE Plasma):
// a watcher and host of the test's own on a private session bus records the item's registration,
// then the test reads the item's properties and menu and activates it, as a panel would.
#include "app/shell/TrayApp.h"
#include "tests/TestSupport.h"
#include "tests/linux/FixtureTree.h"
#include "tests/shell/PrivateBus.h"

#include <cstdlib>
#include <mutex>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QImage>
#include <QThread>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

// The watcher, with a host registered, answering on a thread of its own so that the
// application's blocking calls to it are answered while its own thread waits.
class Watcher final : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString member = message.member();
        if (member == QStringLiteral("RegisterStatusNotifierItem")) {
            // The item names its service, or only its path (then the sender is the service).
            QString item = message.arguments().value(0).toString();
            if (item.startsWith(u'/')) {
                item = message.service();
            }
            {
                const std::lock_guard lock(mutex_);
                items_.append(item);
            }
            bus.send(message.createReply());
            return true;
        }
        if (member == QStringLiteral("RegisterStatusNotifierHost")) {
            bus.send(message.createReply());
            return true;
        }
        if (message.interface() == properties && member == QStringLiteral("Get")) {
            bus.send(message.createReply(
                QVariant::fromValue(QDBusVariant(value(message.arguments().value(1).toString())))));
            return true;
        }
        if (message.interface() == properties && member == QStringLiteral("GetAll")) {
            QVariantMap all;
            for (const char* name : {"RegisteredStatusNotifierItems",
                                     "IsStatusNotifierHostRegistered", "ProtocolVersion"}) {
                all.insert(QString::fromLatin1(name), value(QString::fromLatin1(name)));
            }
            bus.send(message.createReply(all));
            return true;
        }
        return false;
    }

    QStringList items() const {
        const std::lock_guard lock(mutex_);
        return items_;
    }

  private:
    QVariant value(const QString& name) const {
        if (name == QStringLiteral("IsStatusNotifierHostRegistered")) {
            return true;
        }
        if (name == QStringLiteral("ProtocolVersion")) {
            return 0;
        }
        return items();
    }

    mutable std::mutex mutex_;
    QStringList items_;
};

// The watcher on its thread and its own connection, all taken down with the test.
struct Host {
    explicit Host(const PrivateBus& bus) : connection(bus.connect(QStringLiteral("host"))) {
        thread.start();
        watcher.moveToThread(&thread);
        registered = connection.registerService(watcherService) &&
                     connection.registerVirtualObject(watcherPath, &watcher);
    }
    ~Host() {
        connection.unregisterObject(watcherPath);
        QDBusConnection::disconnectFromBus(connection.name());
        thread.quit();
        thread.wait();
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    QThread thread;
    Watcher watcher;
    QDBusConnection connection;
    bool registered = false;
};

// One entry of a menu's layout: its label and whether it is a separator.
struct MenuEntry {
    QString label;
    bool separator = false;
};

// The top-level entries of a com.canonical.dbusmenu layout, (ia{sv}av).
std::vector<MenuEntry> topEntries(const QDBusArgument& layout) {
    std::vector<MenuEntry> entries;
    int id = 0;
    QVariantMap props;
    layout.beginStructure();
    layout >> id >> props;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const auto inner = qvariant_cast<QDBusArgument>(child.variant());
        int childId = 0;
        QVariantMap childProps;
        inner.beginStructure();
        inner >> childId >> childProps;
        entries.push_back(
            {childProps.value(QStringLiteral("label")).toString(),
             childProps.value(QStringLiteral("type")).toString() == QStringLiteral("separator")});
    }
    layout.endArray();
    layout.endStructure();
    return entries;
}

// The pixels of an icon given as a(iiay), sizes and bytes as hexadecimal text.
QString pixels(const QVariant& value) {
    QString text;
    const auto argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        text += QString::number(width) + u'x' + QString::number(height) + u':' +
                QString::fromLatin1(bytes.toHex());
    }
    argument.endArray();
    return text;
}

TEST(StatusNotifierTray, RegistersShowsTheShieldOpensTheWindowAndOffersItsMenu) {
    FixtureTree tree; // an empty machine
    const EnvGuard config("XDG_CONFIG_HOME", (tree.root() / "config").c_str());
    const EnvGuard data("XDG_DATA_HOME", (tree.root() / "data").c_str());
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    // The application's session bus is the private one; nothing has asked for it before.
    const EnvGuard session("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8().constData());

    Host host(bus);
    const Watcher& watcher = host.watcher;
    ASSERT_TRUE(host.registered);

    TrayApp app;
    ASSERT_TRUE(waitFor([&] { return !watcher.items().isEmpty(); }))
        << "the item never registered with the watcher";
    const QString item = watcher.items().front();
    QDBusConnection panel = bus.connect(QStringLiteral("panel"));
    // The item answers on this thread's event loop, so every call to it is waited for there.
    const auto call = [&](const QDBusMessage& message) {
        const QDBusPendingCall pending = panel.asyncCall(message);
        waitFor([&] { return pending.isFinished(); });
        return pending.reply();
    };
    const auto property = [&](const char* name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            item, QStringLiteral("/StatusNotifierItem"), properties, QStringLiteral("Get"));
        get.setArguments({itemInterface, QString::fromLatin1(name)});
        return call(get).arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(property("Title").toString().toStdString(), "Vantrel");
    EXPECT_EQ(property("Status").toString().toStdString(), "Active");

    // The shield the panel is given changes with the unreviewed warnings, and back.
    const auto icon = [&] {
        return property("IconName").toString() + pixels(property("IconPixmap"));
    };
    const QString plain = icon();
    app.monitor().log(Event::Level::warning, "DNS servers changed to: 1.1.1.1.", false);
    ASSERT_TRUE(app.alert());
    EXPECT_TRUE(waitFor([&] { return icon() != plain; })) << "the warning shield never showed";
    app.monitor().markAllReviewed();
    EXPECT_TRUE(waitFor([&] { return icon() == plain; }));

    // A click on the item opens the window.
    ASSERT_FALSE(app.window().isVisible());
    QDBusMessage activate = QDBusMessage::createMethodCall(
        item, QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("Activate"));
    activate.setArguments({0, 0});
    panel.asyncCall(activate);
    EXPECT_TRUE(waitFor([&] { return app.window().isVisible(); }));

    // Its menu.
    const QString menuPath = property("Menu").value<QDBusObjectPath>().path();
    ASSERT_FALSE(menuPath.isEmpty());
    QDBusMessage getLayout = QDBusMessage::createMethodCall(
        item, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    getLayout.setArguments({0, -1, QStringList()});
    const QDBusMessage layout = call(getLayout);
    ASSERT_EQ(layout.type(), QDBusMessage::ReplyMessage) << layout.errorMessage().toStdString();
    std::vector<QString> labels;
    for (const MenuEntry& entry : topEntries(layout.arguments().value(1).value<QDBusArgument>())) {
        if (!entry.separator) {
            labels.push_back(entry.label);
        }
    }
    EXPECT_EQ(labels, (std::vector<QString>{QStringLiteral("Open Vantrel"),
                                            QStringLiteral("Quit Vantrel")}));
    QDBusConnection::disconnectFromBus(panel.name());
}

} // namespace
} // namespace vantrel

// The pins of the other test mains, on the X display the test runs on.
int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    testing::InitGoogleTest(&argc, argv);
    const QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel")); // as the executable names itself
    return RUN_ALL_TESTS();
}
