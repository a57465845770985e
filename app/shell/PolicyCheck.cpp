// The device policy daemon checked for the self-test: the program on disk, its bridge's name on
// the bus, its parameters for new devices, and polkit's answer for letting a device in, asked
// without any prompt.
#include "app/shell/PolicyCheck.h"

#include "app/linux/HostFiles.h"
#include "app/shell/Polkit.h"

#include <filesystem>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace vantrel::PolicyCheck {
namespace {

constexpr int timeoutMs = 5000;

// A runtime parameter of the daemon; empty when it does not answer.
QString parameter(const QDBusConnection& bus, const char* name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.usbguard1"), QStringLiteral("/org/usbguard1"),
        QStringLiteral("org.usbguard1"), QStringLiteral("getParameter"));
    call << QString::fromLatin1(name);
    const QDBusReply<QString> reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.isValid() ? reply.value() : QString();
}

} // namespace

SelfTest::Policy run(const QDBusConnection& bus) {
    using Policy = SelfTest::Policy;
    std::error_code ignored;
    if (!std::filesystem::exists(HostFiles::path("/usr/sbin/usbguard-daemon"), ignored)) {
        return Policy::notInstalled;
    }
    if (!bus.isConnected()) {
        return Policy::noBridge;
    }
    const QDBusReply<bool> registered =
        bus.interface()->isServiceRegistered(QStringLiteral("org.usbguard1"));
    if (!registered.isValid() || !registered.value()) {
        return Policy::noBridge;
    }
    if (parameter(bus, "InsertedDevicePolicy") == QLatin1String("apply-policy") &&
        parameter(bus, "ImplicitPolicyTarget") == QLatin1String("allow")) {
        return Policy::letsNewDevicesIn;
    }

    const Polkit::Answer answer = Polkit::answer(bus.call(
        Polkit::check(bus, "org.usbguard.Devices1.applyDevicePolicy"), QDBus::Block, timeoutMs));
    if (answer.authorized) {
        return Policy::answers;
    }
    return answer.challenge ? Policy::needsPassword : Policy::notAllowed;
}

} // namespace vantrel::PolicyCheck
