// The stack itself: the daemon holds back the device its rules do not name and lets the hubs in.
#include "tests/stack/UsbGuardStack.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(UsbGuardStack, holdsBackWhatNoRuleAllows) {
    UsbGuardStack stack;
    ASSERT_TRUE(stack.ready()) << stack.error();
    EXPECT_EQ(stack.authorized("usb1"), "1");
    EXPECT_EQ(stack.authorized("1-1"), "1");
    EXPECT_EQ(stack.authorized(UsbGuardStack::keyboard), "0");
}

} // namespace
} // namespace vantrel
