#include "app/shell/PromptNotification.h"

#include "app/shell/DBusNotifier.h"
#include "core/Trust.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

namespace vantrel {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage method(const char* member) {
    return QDBusMessage::createMethodCall(service, path, service, QLatin1String(member));
}

} // namespace

PromptNotification::PromptNotification(QDBusConnection bus, const Clock& clock, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), clock_(clock) {
    auto* watcher =
        new QDBusServiceWatcher(service, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &PromptNotification::serverChanged);
    bus_.connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(service, path, service, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
}

PromptNotification::~PromptNotification() {
    if (posting_) {
        posting_->waitForFinished();
        const QDBusMessage reply = posting_->reply();
        if (reply.type() == QDBusMessage::ReplyMessage) {
            id_ = reply.arguments().value(0).toUInt();
        }
    }
    withdraw();
}

void PromptNotification::setAnswers(ui::AdvisorWindowController::Answers answers) {
    answers_ = std::move(answers);
    update();
}

void PromptNotification::setLocked(bool locked) {
    if (locked == locked_) {
        return;
    }
    locked_ = locked;
    update();
}

void PromptNotification::show(const TrustRequest& request) {
    request_ = request;
    update();
}

void PromptNotification::hide() {
    request_.reset();
    update();
}

QString PromptNotification::body(const TrustRequest& request, Timestamp now) {
    const RequestScore scored = Trust::score(request, now);
    const TrustScore& trust = scored.trust;
    const std::string name =
        scored.device ? Trust::displayName(scored.device->name, trust.kind) : "A device";
    return DBusNotifier::escaped(name + " on " + request.portName + ". Trust score " +
                                 std::to_string(trust.score) + ": " + trust.title + ". " +
                                 trust.advice);
}

void PromptNotification::update() {
    if (posting_) {
        again_ = true; // applied once the server gave the notification's id
        return;
    }
    // A server not asked yet may offer actions: it is asked once a question waits.
    const bool wanted = request_ && !locked_ && answers_.available && answers_.available() &&
                        actions_.value_or(true);
    if (!wanted) {
        withdraw();
        return;
    }
    if (!actions_) {
        askCapabilities();
        return;
    }
    const QString text = body(*request_, clock_.now());
    if (text != posted_) {
        post(text);
    }
}

void PromptNotification::askCapabilities() {
    if (asking_ || !bus_.isConnected()) {
        return;
    }
    asking_ = true;
    auto* pending =
        new QDBusPendingCallWatcher(bus_.asyncCall(method("GetCapabilities"), timeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, asked = server_] {
        pending->deleteLater();
        if (asked != server_) {
            return; // the server changed meanwhile and is asked afresh
        }
        asking_ = false;
        const QDBusMessage reply = pending->reply();
        actions_ = reply.type() == QDBusMessage::ReplyMessage &&
                   reply.arguments().value(0).toStringList().contains(QStringLiteral("actions"));
        update();
    });
}

void PromptNotification::post(const QString& text) {
    QDBusMessage call = method("Notify");
    const QStringList actions{
        QLatin1String(allowKey),
        QStringLiteral("Allow"),
        QLatin1String(refuseKey),
        QStringLiteral("Don’t Allow"),
    };
    // Critical, as a device waits behind the question: the server keeps it until it is answered.
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(2))},
        {QStringLiteral("desktop-entry"), QStringLiteral("vantrel")},
    };
    call << QStringLiteral("Vantrel") << id_ << QStringLiteral("vantrel")
         << QString::fromUtf8(summary) << text << actions << hints << 0;
    posted_ = text;
    posting_ = bus_.asyncCall(call, timeoutMs);
    auto* pending = new QDBusPendingCallWatcher(*posting_, this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, asked = server_] {
        pending->deleteLater();
        if (asked != server_) {
            return;
        }
        posting_.reset();
        const QDBusMessage reply = pending->reply();
        id_ = reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toUInt() : 0;
        if (again_) {
            again_ = false;
            update();
        }
    });
}

void PromptNotification::withdraw() {
    posted_.clear();
    if (id_ == 0) {
        return;
    }
    QDBusMessage call = method("CloseNotification");
    call << id_;
    bus_.send(call);
    id_ = 0;
}

void PromptNotification::serverChanged() {
    // A new server knows nothing of the notification up, and may offer other capabilities.
    ++server_;
    actions_.reset();
    asking_ = false;
    posting_.reset();
    again_ = false;
    id_ = 0;
    posted_.clear();
    update();
}

void PromptNotification::actionInvoked(uint id, const QString& key) {
    // A notification closed (at the lock among others) has no id here: its actions answer nothing.
    if (id == 0 || id != id_ || !request_ || !answers_.available || !answers_.available()) {
        return;
    }
    if (key == QLatin1String(allowKey) && answers_.allow) {
        answers_.allow();
    } else if (key == QLatin1String(refuseKey) && answers_.refuse) {
        answers_.refuse();
    }
}

void PromptNotification::notificationClosed(uint id, uint) {
    if (id != 0 && id == id_) {
        id_ = 0; // dismissed or answered there: not posted again while the question stays
    }
}

} // namespace vantrel
