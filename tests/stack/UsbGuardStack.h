// The USB policy daemon for tests: a mock USB tree (a root hub, a hub and a keyboard) under its
// own system bus, polkit, daemon and D-Bus bridge, every process stopped when the stack goes.
//
//     UsbGuardStack stack;                 // the keyboard 1-1.2 is held back (authorized 0)
//     ASSERT_TRUE(stack.ready()) << stack.error();
//     UsbGuardPolicy policy(stack.bus(), ...);
//     EXPECT_EQ(stack.authorized("1-1.2"), "1");
//
// Nothing of the machine's own is used or changed: the bus is private, the daemon's rules and
// logs are in a temporary folder, polkit reads the daemon's actions from a mount of its own, and
// the daemon sees the mock tree only. $VANTREL_ROOT points at the tree for the stack's lifetime,
// so the Linux probes of the test read the same devices.
#pragma once

#include "tests/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include <QDBusConnection>
#include <QString>

struct _UMockdevTestbed;

namespace vantrel {

// Runs the Qt event loop until `done` holds, at most `timeout`; whether it came to hold.
bool waitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

class UsbGuardStack {
  public:
    struct Options {
        // Rules after those that allow the hubs; none for the keyboard means it is held back by
        // the implicit target.
        std::string rules;
        // ImplicitPolicyTarget and InsertedDevicePolicy of the daemon's configuration.
        std::string implicitTarget = "block";
        std::string insertedPolicy = "apply-policy";
    };

    // The kernel name of the keyboard of the tree.
    static constexpr const char* keyboard = "1-1.2";

    UsbGuardStack() : UsbGuardStack(Options{}) {}
    explicit UsbGuardStack(const Options& options);
    ~UsbGuardStack();
    UsbGuardStack(const UsbGuardStack&) = delete;
    UsbGuardStack& operator=(const UsbGuardStack&) = delete;

    // Whether every process started and the bridge lists the devices; error() says what failed.
    bool ready() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // A connection to the private system bus, and its address.
    QDBusConnection bus() const;
    const std::string& address() const { return address_; }
    // The root of the mock tree ("/sys" is in it) and the stack's temporary folder.
    std::filesystem::path root() const;
    const std::filesystem::path& folder() const { return folder_.path; }

    // The device's `authorized` attribute ("0" or "1") as the daemon left it; none when missing.
    std::optional<std::string> authorized(const std::string& kernelName) const;
    // Waits until `authorized` reads `value`, at most `timeout`.
    bool waitAuthorized(const std::string& kernelName, const std::string& value,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Plugs another keyboard into port `port` of the hub (kernel name 1-1.<port>) and sends the
    // kernel's "add" event to the tree's listeners; returns its kernel name. Not yet enough: the
    // daemon does not act on the event (no test relies on it until it does).
    std::string plugKeyboard(int port);

    // Ends the D-Bus bridge (the daemon goes on) and starts it again.
    void stopBridge();
    bool startBridge();

  private:
    struct Process {
        std::string name;
        pid_t pid = -1;
    };

    pid_t spawn(const std::string& name, const std::vector<std::string>& arguments, bool mockTree,
                int addressPipe = -1);
    void stop(Process& process);
    void sendUevent(const std::string& action, const std::string& devicePath);
    bool waitForName(const char* name);
    bool waitForDevices(std::size_t count);
    bool start(const Options& options);

    TempFolder folder_;
    _UMockdevTestbed* testbed_ = nullptr;
    std::optional<EnvGuard> root_;
    std::string address_;
    QString connectionName_;
    std::string error_;
    std::size_t devices_ = 0;
    unsigned sequence_ = 1000;
    Process bus_, polkit_, daemon_, bridge_;
};

} // namespace vantrel
