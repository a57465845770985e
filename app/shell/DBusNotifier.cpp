#include "app/shell/DBusNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace vantrel {

DBusNotifier::DBusNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

QString DBusNotifier::escaped(std::string_view body) {
    const QString text = QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size()));
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

void DBusNotifier::send(const std::string& body) {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("sound-name"), QString::fromLatin1(soundName)},
        {QStringLiteral("desktop-entry"), QStringLiteral("vantrel")},
    };
    // replaces_id 0 asks for a new notification every time; expire_timeout -1 leaves the
    // duration to the server.
    call << QStringLiteral("Vantrel") << 0U << QStringLiteral("vantrel")
         << QString::fromUtf8(summary) << escaped(body) << QStringList() << hints << -1;
    // The answer (the notification's id, or an error when no server runs) is of no use here.
    call.setAutoStartService(true);
    bus_.send(call);
}

} // namespace vantrel
