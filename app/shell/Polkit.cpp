#include "app/shell/Polkit.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QMap>
#include <QMetaType>

namespace vantrel::Polkit {

QDBusMessage check(const QDBusConnection& bus, const char* action) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PolicyKit1"),
                                       QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                       QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
                                       QStringLiteral("CheckAuthorization"));
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name");
    subject.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QDBusVariant>());
    subject.beginMapEntry();
    subject << QStringLiteral("name") << QDBusVariant(bus.baseService());
    subject.endMapEntry();
    subject.endMap();
    subject.endStructure();
    QDBusArgument details;
    details.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    details.endMap();
    // Flags 0: never an interactive prompt; no cancellation id.
    message << QVariant::fromValue(subject) << QString::fromLatin1(action)
            << QVariant::fromValue(details) << 0U << QString();
    return message;
}

Answer answer(const QDBusMessage& reply) {
    Answer result;
    if (reply.type() != QDBusMessage::ReplyMessage ||
        reply.signature() != QStringLiteral("(bba{ss})")) {
        return result;
    }
    const QDBusArgument fields = reply.arguments().first().value<QDBusArgument>();
    QMap<QString, QString> details;
    fields.beginStructure();
    fields >> result.authorized >> result.challenge >> details;
    fields.endStructure();
    return result;
}

} // namespace vantrel::Polkit
