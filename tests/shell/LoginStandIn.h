// The login manager for tests that have no logind: org.freedesktop.login1 on a private bus, one
// session whose LockedHint the test turns, announced with PropertiesChanged as logind does.
#pragma once

#include <utility>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vantrel {

class LoginStandIn final : public QDBusVirtualObject {
  public:
    static constexpr const char* sessionPath = "/org/freedesktop/login1/session/_31";
    static constexpr const char* sessionInterface = "org.freedesktop.login1.Session";

    // Owns the login manager's name on `bus`, a connection of the stand-in's own.
    explicit LoginStandIn(QDBusConnection bus) : bus_(std::move(bus)) {
        registered_ = bus_.registerService(QStringLiteral("org.freedesktop.login1")) &&
                      bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), this,
                                                 QDBusConnection::SubPath);
    }
    ~LoginStandIn() override {
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/login1"),
                              QDBusConnection::UnregisterTree);
        bus_.unregisterService(QStringLiteral("org.freedesktop.login1"));
    }
    LoginStandIn(const LoginStandIn&) = delete;
    LoginStandIn& operator=(const LoginStandIn&) = delete;

    bool registered() const { return registered_; }

    // Locks or unlocks the session, as the screen locker tells logind.
    void setLocked(bool locked) {
        locked_ = locked;
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(sessionPath), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"));
        signal << QLatin1String(sessionInterface)
               << QVariantMap{{QStringLiteral("LockedHint"), locked}} << QStringList();
        bus_.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == QLatin1String("GetSession") || member == QLatin1String("GetSessionByPID")) {
            connection.send(message.createReply(
                QVariant::fromValue(QDBusObjectPath(QLatin1String(sessionPath)))));
        } else if (member == QLatin1String("Get") && message.path() == QLatin1String(sessionPath) &&
                   message.arguments().value(1).toString() == QLatin1String("LockedHint")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(locked_))));
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        }
        return true;
    }

  private:
    QDBusConnection bus_;
    bool locked_ = false;
    bool registered_ = false;
};

} // namespace vantrel
