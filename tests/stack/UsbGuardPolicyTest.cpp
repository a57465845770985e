// The policy provider over the real daemon, bridge and polkit: it sees the held-back keyboard,
// lets it in only when asked, answers calmly when the bridge is gone, and tells a device held by
// an explicit rule from one held by the implicit target.
#include "app/shell/UsbGuardPolicy.h"

#include "tests/stack/UsbGuardStack.h"

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// allow() from another thread, as the Monitor calls it, with the main loop running meanwhile.
bool allowFromThread(UsbGuardPolicy& policy, const std::string& device) {
    auto answer = std::async(std::launch::async, [&] { return policy.allow(device, false); });
    waitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }, 40s);
    return answer.get();
}

TEST(UsbGuardPolicy, answersAndLetsTheHeldBackDeviceInOnlyWhenAsked) {
    UsbGuardStack stack;
    ASSERT_TRUE(stack.ready()) << stack.error();
    int changes = 0;
    UsbGuardPolicy policy(stack.bus(), [&] { ++changes; });
    ASSERT_TRUE(waitFor([&] { return policy.answers(); }));
    EXPECT_GT(changes, 0);
    // Held by the implicit target, not by a rule.
    EXPECT_TRUE(policy.heldByRule().empty());
    EXPECT_FALSE(waitFor([&] { return stack.authorized(UsbGuardStack::keyboard) != "0"; }, 300ms));

    EXPECT_FALSE(allowFromThread(policy, "9-9"));
    EXPECT_TRUE(allowFromThread(policy, UsbGuardStack::keyboard));
    EXPECT_TRUE(stack.waitAuthorized(UsbGuardStack::keyboard, "1"));
}

TEST(UsbGuardPolicy, aStoppedBridgeIsNoAnswer) {
    UsbGuardStack stack;
    ASSERT_TRUE(stack.ready()) << stack.error();
    UsbGuardPolicy policy(stack.bus(), {});
    ASSERT_TRUE(waitFor([&] { return policy.answers(); }));

    stack.stopBridge();
    EXPECT_TRUE(waitFor([&] { return !policy.answers(); }));
    EXPECT_FALSE(allowFromThread(policy, UsbGuardStack::keyboard));
    EXPECT_EQ(stack.authorized(UsbGuardStack::keyboard), "0");

    ASSERT_TRUE(stack.startBridge());
    EXPECT_TRUE(waitFor([&] { return policy.answers(); }));
}

TEST(UsbGuardPolicy, aDeviceHeldByAnExplicitRule) {
    UsbGuardStack stack;
    ASSERT_TRUE(stack.ready()) << stack.error();
    UsbGuardPolicy policy(stack.bus(), {});
    ASSERT_TRUE(waitFor([&] { return policy.answers(); }));
    // The administrator blocks the keyboard for good: the daemon appends a block rule for it.
    const QDBusMessage listing =
        stack.bus().call(QDBusMessage::createMethodCall("org.usbguard1", "/org/usbguard1/Devices",
                                                        "org.usbguard.Devices1", "listDevices")
                         << QStringLiteral("match"));
    ASSERT_EQ(listing.type(), QDBusMessage::ReplyMessage);
    // The keyboard is the last device the daemon found.
    uint keyboardID = 0;
    const QDBusArgument list = listing.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString rule;
        list.beginStructure();
        list >> keyboardID >> rule;
        list.endStructure();
    }
    list.endArray();
    const QDBusMessage block = stack.bus().call(
        QDBusMessage::createMethodCall("org.usbguard1", "/org/usbguard1/Devices",
                                       "org.usbguard.Devices1", "applyDevicePolicy")
        << keyboardID << 1U << true);
    ASSERT_EQ(block.type(), QDBusMessage::ReplyMessage) << block.errorMessage().toStdString();
    EXPECT_TRUE(waitFor([&] { return policy.heldByRule().contains(UsbGuardStack::keyboard); }));
}

TEST(UsbGuardPolicy, ruleIDsThatNameNoRule) {
    for (const std::uint32_t id : {0U, 4294967294U, 4294967295U}) {
        EXPECT_FALSE(UsbGuardPolicy::explicitRule(id)) << id;
    }
    for (const std::uint32_t id : {1U, 7U, 4294967293U}) {
        EXPECT_TRUE(UsbGuardPolicy::explicitRule(id)) << id;
    }
}

} // namespace
} // namespace vantrel
