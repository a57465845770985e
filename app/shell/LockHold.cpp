#include "app/shell/LockHold.h"

#include "app/engine/AtomicFile.h"
#include "app/shell/Polkit.h"

#include <array>
#include <system_error>
#include <unistd.h>
#include <utility>

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMap>
#include <QMetaType>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

const QString usbGuardService = QStringLiteral("org.usbguard1");
const QString usbGuardPath = QStringLiteral("/org/usbguard1");
const QString login = QStringLiteral("org.freedesktop.login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString lockedHint = QStringLiteral("LockedHint");
constexpr const char* block = "block";

// The values USBGuard takes for InsertedDevicePolicy.
bool known(std::string_view value) {
    constexpr std::array<std::string_view, 3> values = {"apply-policy", "block", "reject"};
    for (const std::string_view v : values) {
        if (v == value) {
            return true;
        }
    }
    return false;
}

// The string a reply carries first; none for an error or anything else.
std::optional<std::string> stringOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        reply.arguments().first().metaType() != QMetaType::fromType<QString>()) {
        return std::nullopt;
    }
    return reply.arguments().first().toString().toStdString();
}

bool succeeded(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

LockHold::LockHold(QDBusConnection bus, std::filesystem::path marker, std::function<void()> changed,
                   QObject* parent)
    : QObject(parent), bus_(std::move(bus)), marker_(std::move(marker)),
      changed_(std::move(changed)) {
    AtomicFile::removeStaleTemporaries(marker_);
    if (AtomicFile::present(marker_)) {
        const std::optional<std::string> bytes = AtomicFile::read(marker_, markerLimit);
        remembered_ = bytes ? rememberedIn(*bytes) : std::nullopt;
        if (!remembered_) {
            forget(); // not a marker of ours: nothing to put back
        }
    }

    watcher_ = new QDBusServiceWatcher(usbGuardService, bus_,
                                       QDBusServiceWatcher::WatchForRegistration |
                                           QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    watcher_->addWatchedService(login);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this](const QString& name) {
        if (name == login) {
            findSession(true);
            return;
        }
        askPolkit();
        failedWanting_.reset();
        reconcile();
    });
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& name) {
        if (name == usbGuardService && applied_) {
            applied_ = false; // the marker stays, to put back when it returns
            notify();
        }
    });
    bus_.connect(usbGuardService, usbGuardPath, usbGuardService,
                 QStringLiteral("PropertyParameterChanged"), this,
                 SLOT(parameterChanged(QString, QString, QString)));
    askPolkit();
    findSession(true);
}

LockHold::~LockHold() {
    if (remembered_) {
        restoreNow();
    }
}

void LockHold::setOn(bool on) {
    if (on == on_) {
        return;
    }
    on_ = on;
    failedWanting_.reset();
    if (!on) {
        overridden_ = false;
    }
    notify();
    reconcile();
}

std::optional<std::string> LockHold::rememberedIn(std::string_view bytes) {
    const nlohmann::json stored = nlohmann::json::parse(bytes, nullptr, false);
    if (!stored.is_object()) {
        return std::nullopt;
    }
    const auto value = stored.find(parameter);
    if (value == stored.end() || !value->is_string() ||
        !known(value->get_ref<const std::string&>())) {
        return std::nullopt;
    }
    return value->get<std::string>();
}

void LockHold::call(const QDBusMessage& message, Reply reply) {
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(message, timeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [pending, reply = std::move(reply)] {
        pending->deleteLater();
        reply(pending->reply());
    });
}

QDBusMessage LockHold::usbGuard(const char* member, const QVariantList& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(usbGuardService, usbGuardPath,
                                                          usbGuardService, QLatin1String(member));
    message.setArguments(arguments);
    return message;
}

void LockHold::askPolkit() {
    call(Polkit::check(bus_, action), [this](const QDBusMessage& reply) {
        const Polkit::Answer answer = Polkit::answer(reply);
        mayHold_ = answer.authorized && !answer.challenge;
        notify();
    });
}

void LockHold::findSession(bool byId) {
    const QByteArray id = qgetenv("XDG_SESSION_ID");
    const bool withId = byId && !id.isEmpty();
    QDBusMessage message = QDBusMessage::createMethodCall(
        login, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"),
        withId ? QStringLiteral("GetSession") : QStringLiteral("GetSessionByPID"));
    if (withId) {
        message << QString::fromUtf8(id);
    } else {
        message << static_cast<uint>(::getpid());
    }
    call(message, [this, withId](const QDBusMessage& reply) {
        if (succeeded(reply) && reply.signature() == QStringLiteral("o")) {
            followSession(reply.arguments().first().value<QDBusObjectPath>().path());
            return;
        }
        if (withId) {
            findSession(false);
            return;
        }
        // No logind, or no session of ours: never locked.
        sessionKnown_ = true;
        reconcile();
    });
}

void LockHold::followSession(const QString& path) {
    if (path != sessionPath_) {
        if (!sessionPath_.isEmpty()) {
            bus_.disconnect(login, sessionPath_, properties, QStringLiteral("PropertiesChanged"),
                            this,
                            SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
        }
        sessionPath_ = path;
        bus_.connect(login, sessionPath_, properties, QStringLiteral("PropertiesChanged"), this,
                     SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
    }
    readLocked();
}

void LockHold::readLocked() {
    QDBusMessage message =
        QDBusMessage::createMethodCall(login, sessionPath_, properties, QStringLiteral("Get"));
    message << sessionInterface << lockedHint;
    call(message, [this](const QDBusMessage& reply) {
        bool locked = false;
        if (succeeded(reply) && reply.signature() == QStringLiteral("v")) {
            const QVariant value = reply.arguments().first().value<QDBusVariant>().variant();
            locked = value.metaType() == QMetaType::fromType<bool>() && value.toBool();
        }
        sessionKnown_ = true;
        setLocked(locked);
        reconcile();
    });
}

void LockHold::sessionPropertiesChanged(const QString& interface,
                                        const QVariantMap& changedProperties,
                                        const QStringList& invalidated) {
    if (interface != sessionInterface) {
        return;
    }
    const auto value = changedProperties.constFind(lockedHint);
    if (value != changedProperties.constEnd()) {
        setLocked(value->metaType() == QMetaType::fromType<bool>() && value->toBool());
        reconcile();
    } else if (invalidated.contains(lockedHint)) {
        readLocked();
    }
}

void LockHold::setLocked(bool locked) {
    if (locked == locked_) {
        return;
    }
    locked_ = locked;
    failedWanting_.reset();
    if (!locked) {
        overridden_ = false;
    }
    notify();
}

void LockHold::parameterChanged(const QString& name, const QString&, const QString& value) {
    if (name == QLatin1String(parameter) && value != QLatin1String(block) && applied_) {
        applied_ = false;
        overridden_ = true;
        notify();
    }
}

void LockHold::reconcile() {
    if (busy_ || !sessionKnown_) {
        return;
    }
    const bool want = on_ && locked_;
    if (failedWanting_ == want) {
        return;
    }
    failedWanting_.reset();
    if (want && !applied_ && !overridden_) {
        apply();
    } else if (!want && remembered_) {
        restore();
    }
}

void LockHold::apply() {
    busy_ = true;
    if (remembered_) {
        setBlock(); // a value to put back is kept already: it stays the one to put back
        return;
    }
    call(usbGuard("getParameter", {QString::fromLatin1(parameter)}),
         [this](const QDBusMessage& reply) {
             const std::optional<std::string> previous = stringOf(reply);
             if (!previous || !known(*previous)) {
                 finished(false);
                 return;
             }
             const nlohmann::json stored = {{parameter, *previous}};
             if (!AtomicFile::write(marker_, stored.dump())) {
                 finished(false); // without a durable marker nothing is set
                 return;
             }
             remembered_ = previous;
             setBlock();
         });
}

void LockHold::setBlock() {
    call(usbGuard("setParameter", {QString::fromLatin1(parameter), QString::fromLatin1(block)}),
         [this](const QDBusMessage& reply) {
             if (succeeded(reply)) {
                 applied_ = true;
             }
             finished(succeeded(reply));
         });
}

void LockHold::restore() {
    busy_ = true;
    applied_ = false;
    call(usbGuard("getParameter", {QString::fromLatin1(parameter)}),
         [this](const QDBusMessage& reply) {
             const std::optional<std::string> current = stringOf(reply);
             if (!current) {
                 finished(false); // the marker stays, to put back when the daemon answers
                 return;
             }
             if (*current != block || !remembered_) {
                 forget(); // somebody else changed it: theirs stands
                 finished(true);
                 return;
             }
             call(usbGuard("setParameter",
                           {QString::fromLatin1(parameter), QString::fromStdString(*remembered_)}),
                  [this](const QDBusMessage& set) {
                      if (succeeded(set)) {
                          forget();
                      }
                      finished(succeeded(set));
                  });
         });
}

void LockHold::finished(bool ok) {
    busy_ = false;
    if (!ok) {
        failedWanting_ = on_ && locked_;
    }
    notify();
    reconcile();
}

void LockHold::forget() {
    remembered_.reset();
    std::error_code ignored;
    std::filesystem::remove(marker_, ignored);
}

bool LockHold::restoreNow() {
    const QDBusMessage current = bus_.call(
        usbGuard("getParameter", {QString::fromLatin1(parameter)}), QDBus::Block, quitTimeoutMs);
    const std::optional<std::string> value = stringOf(current);
    if (!value) {
        return false; // the marker stays for the next start
    }
    if (*value == block) {
        const QDBusMessage set =
            bus_.call(usbGuard("setParameter", {QString::fromLatin1(parameter),
                                                QString::fromStdString(*remembered_)}),
                      QDBus::Block, quitTimeoutMs);
        if (!succeeded(set)) {
            return false;
        }
    }
    forget();
    return true;
}

void LockHold::notify() {
    const bool now = holding();
    if (now == reported_ && mayHold_ == reportedMay_ && locked_ == reportedLocked_) {
        return;
    }
    reported_ = now;
    reportedMay_ = mayHold_;
    reportedLocked_ = locked_;
    if (changed_) {
        changed_();
    }
}

} // namespace vantrel
