// The device policy of the machine kept by the USB policy daemon, over its D-Bus bridge: whether
// it answers, which held-back devices an explicit rule holds, and letting a device in.
#pragma once

#include "app/linux/DevicePolicy.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

class QDBusServiceWatcher;

namespace vantrel {

class LockHold;

class UsbGuardPolicy final : public QObject, public DevicePolicy {
    Q_OBJECT

  public:
    static constexpr const char* service = "org.usbguard1";
    // How long allow() waits for the daemon, in all.
    static constexpr int allowTimeoutMs = 30000;

    // `bus` is the system bus (or a test's own). `changed` is called on the main thread whenever
    // what answers() or heldByRule() say may have changed, as a device event would. `lock`, when
    // given, holds new devices while the session is locked; it must outlive this object.
    UsbGuardPolicy(QDBusConnection bus, std::function<void()> changed, LockHold* lock = nullptr,
                   QObject* parent = nullptr);
    ~UsbGuardPolicy() override;
    UsbGuardPolicy(const UsbGuardPolicy&) = delete;
    UsbGuardPolicy& operator=(const UsbGuardPolicy&) = delete;

    bool answers() override { return answers_; }
    std::set<std::string> heldByRule() override;
    bool allow(const std::string& device, bool permanent) override;

    bool mayHoldWhileLocked() override;
    void holdWhileLocked(bool on) override;
    bool holdingWhileLocked() override;

    // Whether a rule id names a rule of the policy, rather than the implicit target (4294967294),
    // the root id of a blanket InsertedDevicePolicy (0) or nothing appended (4294967295).
    static bool explicitRule(std::uint32_t ruleID);

  private slots:
    void presenceChanged(const QDBusMessage& signal);
    void policyChanged(const QDBusMessage& signal);
    void policyApplied(const QDBusMessage& signal);

  private:
    struct Device {
        std::string port;
        std::uint32_t target = 1;
        bool byRule = false;
    };

    void list();
    void vanished();
    void update(std::uint32_t id, std::uint32_t target, const QString& rule,
                std::optional<std::uint32_t> ruleID);
    void notify();

    QDBusConnection bus_;
    std::function<void()> changed_;
    LockHold* lock_;
    QDBusServiceWatcher* watcher_ = nullptr;
    bool answers_ = false;
    // Each listing has a number; a reply to one older than the last is stale.
    unsigned listing_ = 0;
    std::map<std::uint32_t, Device> devices_;
};

} // namespace vantrel
