// A desktop notification server of a test's own on a private bus: it records every call, lists
// the capabilities the test gives, answers Notify with an id and emits ActionInvoked on request.
#pragma once

#include <utility>
#include <vector>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <QStringList>

namespace vantrel {

class NotificationServer final : public QDBusVirtualObject {
  public:
    static constexpr const char* path = "/org/freedesktop/Notifications";
    static constexpr const char* interface = "org.freedesktop.Notifications";

    // Owns the service's name on `bus`, a connection of the server's own.
    NotificationServer(QDBusConnection bus, QStringList capabilities)
        : bus_(std::move(bus)), capabilities_(std::move(capabilities)) {
        registered_ = bus_.registerService(QLatin1String(interface)) &&
                      bus_.registerVirtualObject(QLatin1String(path), this);
    }
    ~NotificationServer() override {
        bus_.unregisterObject(QLatin1String(path));
        bus_.unregisterService(QLatin1String(interface));
    }
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    bool registered() const { return registered_; }
    // Every call, in order of arrival.
    std::vector<QDBusMessage> calls;
    // The calls of one method.
    std::vector<QDBusMessage> callsOf(const char* member) const {
        std::vector<QDBusMessage> found;
        for (const QDBusMessage& call : calls) {
            if (call.member() == QLatin1String(member)) {
                found.push_back(call);
            }
        }
        return found;
    }

    // As a click on one of the notification's buttons does.
    void invoke(uint id, const QString& key) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(path), QLatin1String(interface), QStringLiteral("ActionInvoked"));
        signal << id << key;
        bus_.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(capabilities_));
        } else if (member == QLatin1String("Notify")) {
            // A new id, or the one it replaces.
            const uint replaces = message.arguments().value(1).toUInt();
            connection.send(message.createReply(replaces != 0 ? replaces : ++lastId_));
        } else {
            connection.send(message.createReply());
        }
        // Recorded once answered, so that a test seeing the call knows its answer is on its way.
        calls.push_back(message);
        return true;
    }

  private:
    QDBusConnection bus_;
    QStringList capabilities_;
    uint lastId_ = 0;
    bool registered_ = false;
};

} // namespace vantrel
