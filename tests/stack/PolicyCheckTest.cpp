// The self-test's device policy check over the real daemon, bridge and polkit: the caller here is
// root, whom polkit lets in, so what differs is the daemon's state.
#include "app/shell/PolicyCheck.h"

#include "tests/stack/UsbGuardStack.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Policy = SelfTest::Policy;

TEST(PolicyCheck, whatTheDaemonSays) {
    const struct {
        const char* what;
        bool installed;
        const char* implicitTarget;
        bool bridge;
        Policy expected;
    } cases[] = {
        {"held back and answered", true, "block", true, Policy::answers},
        {"new devices let in", true, "allow", true, Policy::letsNewDevicesIn},
        {"bridge stopped", true, "block", false, Policy::noBridge},
        {"not installed", false, "block", true, Policy::notInstalled},
    };
    for (const auto& c : cases) {
        UsbGuardStack stack({.rules = {}, .implicitTarget = c.implicitTarget});
        ASSERT_TRUE(stack.ready()) << stack.error();
        if (c.installed) {
            std::filesystem::create_directories(stack.root() / "usr/sbin");
            std::ofstream(stack.root() / "usr/sbin/usbguard-daemon") << "";
        }
        if (!c.bridge) {
            stack.stopBridge();
        }
        EXPECT_EQ(PolicyCheck::run(stack.bus()), c.expected) << c.what;
    }
}

} // namespace
} // namespace vantrel
