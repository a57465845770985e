// The USB policy daemon's devices as its D-Bus bridge lists and signals them, kept by id on the
// main thread; letting a device in asks the bridge afresh from the calling thread.
#include "app/shell/UsbGuardPolicy.h"

#include "app/linux/DeviceRule.h"
#include "app/shell/LockHold.h"

#include <chrono>
#include <utility>

#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace vantrel {
namespace {

const QString devicesPath = QStringLiteral("/org/usbguard1/Devices");
const QString devicesInterface = QStringLiteral("org.usbguard.Devices1");
constexpr std::uint32_t allowTarget = 0;

QDBusMessage devicesCall(const char* member) {
    return QDBusMessage::createMethodCall(QString::fromLatin1(UsbGuardPolicy::service), devicesPath,
                                          devicesInterface, QString::fromLatin1(member));
}

// The (id, rule) pairs of a listDevices reply; none when it is not one.
std::optional<std::vector<std::pair<std::uint32_t, QString>>> listed(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
        reply.signature() != QLatin1String("a(us)")) {
        return std::nullopt;
    }
    std::vector<std::pair<std::uint32_t, QString>> devices;
    const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        uint id = 0;
        QString rule;
        list.beginStructure();
        list >> id >> rule;
        list.endStructure();
        devices.emplace_back(id, rule);
    }
    list.endArray();
    return devices;
}

// The unsigned argument `index` of a signal; none when it has no such argument.
std::optional<std::uint32_t> number(const QDBusMessage& signal, int index) {
    const QVariantList arguments = signal.arguments();
    if (index >= arguments.size() ||
        arguments.at(index).metaType() != QMetaType::fromType<uint>()) {
        return std::nullopt;
    }
    return arguments.at(index).toUInt();
}

QString text(const QDBusMessage& signal, int index) {
    const QVariantList arguments = signal.arguments();
    return index < arguments.size() ? arguments.at(index).toString() : QString();
}

} // namespace

UsbGuardPolicy::UsbGuardPolicy(QDBusConnection bus, std::function<void()> changed, LockHold* lock,
                               QObject* parent)
    : QObject(parent), bus_(std::move(bus)), changed_(std::move(changed)), lock_(lock) {
    const QString name = QString::fromLatin1(service);
    bus_.connect(name, devicesPath, devicesInterface, QStringLiteral("DevicePresenceChanged"), this,
                 SLOT(presenceChanged(QDBusMessage)));
    bus_.connect(name, devicesPath, devicesInterface, QStringLiteral("DevicePolicyChanged"), this,
                 SLOT(policyChanged(QDBusMessage)));
    bus_.connect(name, devicesPath, devicesInterface, QStringLiteral("DevicePolicyApplied"), this,
                 SLOT(policyApplied(QDBusMessage)));
    watcher_ = new QDBusServiceWatcher(name, bus_,
                                       QDBusServiceWatcher::WatchForRegistration |
                                           QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { list(); });
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { vanished(); });
    list();
}

UsbGuardPolicy::~UsbGuardPolicy() = default;

bool UsbGuardPolicy::explicitRule(std::uint32_t ruleID) {
    return ruleID != 0 && ruleID <= 4294967293U;
}

std::set<std::string> UsbGuardPolicy::heldByRule() {
    std::set<std::string> held;
    for (const auto& [id, device] : devices_) {
        if (device.byRule && device.target != allowTarget && !device.port.empty()) {
            held.insert(device.port);
        }
    }
    return held;
}

void UsbGuardPolicy::list() {
    const unsigned listing = ++listing_;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(devicesCall("listDevices") << QStringLiteral("match")), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, listing](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (listing != listing_) {
                    return;
                }
                const auto devices = listed(call->reply());
                answers_ = devices.has_value();
                // What the listing knows of a device replaces what signals said, except whether
                // a rule named it, which only the signals tell.
                std::map<std::uint32_t, Device> table;
                for (const auto& [id, rule] : devices.value_or(decltype(*devices){})) {
                    const auto parsed = DeviceRule::parse(rule.toStdString());
                    if (!parsed) {
                        continue;
                    }
                    Device& device = table[id];
                    device.port = parsed->viaPort;
                    device.target = static_cast<std::uint32_t>(parsed->target);
                    const auto known = devices_.find(id);
                    device.byRule = known != devices_.end() && known->second.byRule;
                }
                devices_ = std::move(table);
                notify();
            });
}

void UsbGuardPolicy::vanished() {
    ++listing_;
    answers_ = false;
    devices_.clear();
    notify();
}

void UsbGuardPolicy::update(std::uint32_t id, std::uint32_t target, const QString& rule,
                            std::optional<std::uint32_t> ruleID) {
    Device& device = devices_[id];
    if (const auto parsed = DeviceRule::parse(rule.toStdString())) {
        device.port = parsed->viaPort;
    }
    device.target = target;
    if (ruleID) {
        device.byRule = explicitRule(*ruleID);
    }
    notify();
}

void UsbGuardPolicy::presenceChanged(const QDBusMessage& signal) {
    // (id, event, target, rule, attributes); event 3 is a removal.
    const auto id = number(signal, 0);
    const auto event = number(signal, 1);
    const auto target = number(signal, 2);
    if (!id || !event || !target) {
        return;
    }
    if (*event == 3) {
        devices_.erase(*id);
        notify();
        return;
    }
    update(*id, *target, text(signal, 3), std::nullopt);
}

void UsbGuardPolicy::policyChanged(const QDBusMessage& signal) {
    // (id, target_old, target_new, rule, rule_id, attributes)
    const auto id = number(signal, 0);
    const auto target = number(signal, 2);
    const auto ruleID = number(signal, 4);
    if (id && target && ruleID) {
        update(*id, *target, text(signal, 3), ruleID);
    }
}

void UsbGuardPolicy::policyApplied(const QDBusMessage& signal) {
    // (id, target_new, rule, rule_id, attributes)
    const auto id = number(signal, 0);
    const auto target = number(signal, 1);
    const auto ruleID = number(signal, 3);
    if (id && target && ruleID) {
        update(*id, *target, text(signal, 2), ruleID);
    }
}

void UsbGuardPolicy::notify() {
    if (changed_) {
        changed_();
    }
}

bool UsbGuardPolicy::allow(const std::string& device, bool permanent) {
    // From any thread: blocking calls on the connection are safe there, and the table of the
    // main thread is not touched.
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(allowTimeoutMs);
    const auto left = [&until] {
        return static_cast<int>(std::max<long long>(
            1,
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
    };
    const auto devices = listed(
        bus_.call(devicesCall("listDevices") << QStringLiteral("match"), QDBus::Block, left()));
    if (!devices) {
        return false;
    }
    std::optional<std::uint32_t> found;
    for (const auto& [id, rule] : *devices) {
        const auto parsed = DeviceRule::parse(rule.toStdString());
        if (parsed && parsed->viaPort == device) {
            found = id;
            break;
        }
    }
    if (!found) {
        return false;
    }
    QDBusMessage call = devicesCall("applyDevicePolicy");
    call << *found << allowTarget << permanent;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, left());
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool UsbGuardPolicy::mayHoldWhileLocked() {
    return lock_ != nullptr && lock_->mayHold();
}

void UsbGuardPolicy::holdWhileLocked(bool on) {
    if (lock_ != nullptr) {
        lock_->setOn(on);
    }
}

bool UsbGuardPolicy::holdingWhileLocked() {
    return lock_ != nullptr && lock_->holding();
}

} // namespace vantrel
