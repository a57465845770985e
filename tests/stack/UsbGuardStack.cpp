// The USB policy daemon for tests: a mock USB tree under its own system bus, polkit, daemon and
// D-Bus bridge. The programs come unpacked from their package (scripts/usbguard-programs.sh).
#include "tests/stack/UsbGuardStack.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <umockdev.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QUuid>

extern char** environ;

namespace vantrel {

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path programs = VANTREL_USBGUARD_PROGRAMS;
constexpr auto startLimit = std::chrono::seconds(20);

// The descriptors a device sends: the device descriptor, then its one configuration with one
// interface and whatever follows it (`configuration`), as hex.
std::string descriptors(const char* vendor, const char* product, const char* deviceClass,
                        const std::string& configuration) {
    // bLength, type, bcdUSB 2.00, class, subclass 0, protocol, max packet 64, ids (little
    // endian), bcdDevice 1.00, strings 1 2 0, one configuration.
    const std::string v(vendor);
    const std::string p(product);
    return std::string("12010002") + deviceClass + "00" + "0040" + v.substr(2, 2) + v.substr(0, 2) +
           p.substr(2, 2) + p.substr(0, 2) + "0001" + "010200" + "01" + configuration;
}

// A hub's configuration: 25 bytes, one hub interface (09:00:00) and its interrupt endpoint.
const std::string hubConfiguration = "09021900010100e000"
                                     "090400000109000000"
                                     "0705810304000c";
// A keyboard's: 34 bytes, one HID boot keyboard interface (03:01:01), its HID descriptor and its
// interrupt endpoint.
const std::string keyboardConfiguration = "09022200010100a032"
                                          "090400000103010100"
                                          "092111010001223f00"
                                          "0705810308000a";

// One device of the tree as a umockdev record.
std::string record(const std::string& path, int number, const char* vendor, const char* product,
                   const char* deviceClass, const std::string& configuration,
                   const std::string& extra = {}) {
    char devnum[16];
    std::snprintf(devnum, sizeof devnum, "%03d", number);
    std::ostringstream text;
    text << "P: " << path << "\nN: bus/usb/001/" << devnum
         << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/" << devnum
         << "\nE: BUSNUM=001\nE: DEVNUM=" << devnum
         << "\nA: authorized=1\nA: busnum=1\nA: devnum=" << number << "\nA: idVendor=" << vendor
         << "\nA: idProduct=" << product << "\nA: bDeviceClass=" << deviceClass
         << "\nA: bConfigurationValue=1\nA: speed=480\n"
         << extra << "H: descriptors=" << descriptors(vendor, product, deviceClass, configuration)
         << "\n\n";
    return text.str();
}

const std::string controller = "/devices/pci0000:00/0000:00:14.0";
const std::string hubPath = controller + "/usb1/1-1";

std::string keyboardRecord(const std::string& name, int number) {
    return record(hubPath + "/" + name, number, "05f3", "0007", "00", keyboardConfiguration,
                  "A: product=Keyboard\nA: manufacturer=Maker\n");
}

// A datagram to every uevent listener of the tree, in the kernel's format ("add@/devices/..."
// and KEY=value fields), which is what the daemon reads; the preload library gives the listeners
// these sockets in place of their netlink ones.
void sendUevents(const fs::path& root, const std::string& message) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(root, ignored)) {
        if (!entry.path().filename().string().starts_with("event") || !entry.is_socket()) {
            continue;
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = entry.path().string();
        if (path.size() >= sizeof address.sun_path) {
            continue;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (socket >= 0) {
            ::sendto(socket, message.data(), message.size(), 0,
                     reinterpret_cast<const sockaddr*>(&address), sizeof address);
            ::close(socket);
        }
    }
}

void writeFile(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace

UsbGuardStack::UsbGuardStack(const Options& options) {
    if (!start(options) && error_.empty()) {
        error_ = "the stack did not start";
    }
}

bool UsbGuardStack::start(const Options& options) {
    if (!fs::is_regular_file(programs / "usr/sbin/usbguard-daemon")) {
        error_ = "usbguard-daemon not unpacked in " + programs.string();
        return false;
    }
    testbed_ = umockdev_testbed_new();
    const std::string tree =
        keyboardRecord(keyboard, 3) + record(hubPath, 2, "1a40", "0101", "09", hubConfiguration) +
        record(controller + "/usb1", 1, "1d6b", "0002", "09", hubConfiguration,
               "A: authorized_default=1\n") +
        "P: " + controller + "\nE: SUBSYSTEM=pci\nE: DRIVER=xhci_hcd\nA: class=0x0c0330\n\n";
    GError* failure = nullptr;
    if (umockdev_testbed_add_from_string(testbed_, tree.c_str(), &failure) == FALSE) {
        error_ = std::string("mock tree: ") + (failure != nullptr ? failure->message : "refused");
        g_clear_error(&failure);
        return false;
    }
    devices_ = 3;
    root_.emplace("VANTREL_ROOT", root().c_str());

    const fs::path& dir = folder_.path;
    writeFile(dir / "bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\" "
              "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>system</type><listen>unix:tmpdir=/tmp</listen>"
              "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
              "<allow own=\"*\"/><allow send_destination=\"*\"/>"
              "<allow receive_sender=\"*\"/></policy></busconfig>\n");
    writeFile(dir / "rules.conf", "allow id 1d6b:*\nallow id 1a40:0101\n" + options.rules + "\n");
    writeFile(dir / "daemon.conf", "RuleFile=" + (dir / "rules.conf").string() +
                                       "\nImplicitPolicyTarget=" + options.implicitTarget +
                                       "\nPresentDevicePolicy=apply-policy\n"
                                       "PresentControllerPolicy=keep\n"
                                       "InsertedDevicePolicy=" +
                                       options.insertedPolicy +
                                       "\nDeviceManagerBackend=uevent\nIPCAllowedUsers=root\n"
                                       "AuditBackend=FileAudit\nAuditFilePath=" +
                                       (dir / "audit.log").string() + "\n");
    fs::create_directories(dir / "actions");
    fs::copy_file(programs / "usr/share/polkit-1/actions/org.usbguard1.policy",
                  dir / "actions/org.usbguard1.policy");

    // The bus prints its address on a pipe once it listens.
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    bus_.pid = spawn("dbus-daemon",
                     {"dbus-daemon", "--nofork", "--config-file=" + (dir / "bus.conf").string(),
                      "--print-address=3"},
                     false, pipe[1]);
    ::close(pipe[1]);
    std::string line;
    const auto until = Clock::now() + startLimit;
    while (bus_.pid > 0 && line.find('\n') == std::string::npos && Clock::now() < until) {
        pollfd ready{pipe[0], POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0) {
            char buffer[512];
            const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipe[0]);
    if (line.find('\n') == std::string::npos) {
        error_ = "dbus-daemon printed no address";
        return false;
    }
    address_ = line.substr(0, line.find('\n'));
    connectionName_ = QStringLiteral("usbguard-stack-") + QUuid::createUuid().toString();
    if (!bus().isConnected()) {
        error_ = "no connection to the private bus";
        return false;
    }

    // polkitd reads the actions of the daemon from a mount seen by it alone.
    polkit_.pid =
        spawn("polkitd",
              {"unshare", "--mount", "sh", "-c",
               "mount --bind \"$1\" /usr/share/polkit-1/actions && exec \"$2\" --no-debug", "sh",
               (dir / "actions").string(), "/usr/lib/polkit-1/polkitd"},
              false);
    if (!waitForName("org.freedesktop.PolicyKit1")) {
        error_ = "polkitd did not start (see " + (dir / "polkitd.log").string() + ")";
        return false;
    }
    // The daemon and its bridge meet on an abstract socket of a fixed name, so they get a network
    // namespace of their own: stacks side by side (and a daemon of the machine's) never meet.
    daemon_.pid = spawn("usbguard-daemon",
                        {"unshare", "--net", "--", (programs / "usr/sbin/usbguard-daemon").string(),
                         "-k", "-P", "-c", (dir / "daemon.conf").string()},
                        true);
    if (!startBridge()) {
        error_ = "the bridge did not list the devices (see " + dir.string() + ")";
        return false;
    }
    return true;
}

UsbGuardStack::~UsbGuardStack() {
    stop(bridge_);
    stop(daemon_);
    stop(polkit_);
    if (!connectionName_.isEmpty()) {
        QDBusConnection::disconnectFromBus(connectionName_);
    }
    stop(bus_);
    root_.reset();
    if (testbed_ != nullptr) {
        g_object_unref(testbed_);
    }
}

QDBusConnection UsbGuardStack::bus() const {
    return QDBusConnection::connectToBus(QString::fromStdString(address_), connectionName_);
}

fs::path UsbGuardStack::root() const {
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);
    fs::path path(dir);
    g_free(dir);
    return path;
}

std::optional<std::string> UsbGuardStack::authorized(const std::string& kernelName) const {
    std::ifstream in(root() / "sys/bus/usb/devices" / kernelName / "authorized");
    std::string value;
    if (!(in >> value)) {
        return std::nullopt;
    }
    return value;
}

bool UsbGuardStack::waitAuthorized(const std::string& kernelName, const std::string& value,
                                   std::chrono::milliseconds timeout) const {
    const auto until = Clock::now() + timeout;
    while (authorized(kernelName) != value) {
        if (Clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string UsbGuardStack::plugKeyboard(int port) {
    const std::string name = "1-1." + std::to_string(port);
    const int number = static_cast<int>(devices_) + 1;
    GError* failure = nullptr;
    if (umockdev_testbed_add_from_string(testbed_, keyboardRecord(name, number).c_str(),
                                         &failure) == FALSE) {
        g_clear_error(&failure);
        return {};
    }
    ++devices_;
    sendUevent("add", hubPath + "/" + name);
    return name;
}

void UsbGuardStack::sendUevent(const std::string& action, const std::string& devicePath) {
    std::string message = action + "@" + devicePath;
    message.push_back('\0');
    for (const std::string& field :
         {"ACTION=" + action, "DEVPATH=" + devicePath, std::string("SUBSYSTEM=usb"),
          std::string("DEVTYPE=usb_device"), "SEQNUM=" + std::to_string(++sequence_)}) {
        message += field;
        message.push_back('\0');
    }
    sendUevents(root(), message);
}

void UsbGuardStack::stopBridge() {
    stop(bridge_);
}

bool UsbGuardStack::startBridge() {
    if (bridge_.pid > 0) {
        return true;
    }
    // The bridge joins the daemon's namespace once the daemon has one.
    const std::string daemonNetwork = "/proc/" + std::to_string(daemon_.pid) + "/ns/net";
    const auto until = Clock::now() + startLimit;
    std::error_code ignored;
    while (fs::read_symlink(daemonNetwork, ignored) == fs::read_symlink("/proc/self/ns/net") &&
           Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bridge_.pid = spawn("usbguard-dbus",
                        {"nsenter", "--net=" + daemonNetwork, "--",
                         (programs / "usr/sbin/usbguard-dbus").string(), "-s"},
                        false);
    return waitForName("org.usbguard1") && waitForDevices(devices_);
}

pid_t UsbGuardStack::spawn(const std::string& name, const std::vector<std::string>& arguments,
                           bool mockTree, int addressPipe) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with("DBUS_SYSTEM_BUS_ADDRESS=") && !text.starts_with("LD_PRELOAD=") &&
            !text.starts_with("UMOCKDEV_DIR=")) {
            environment.emplace_back(text);
        }
    }
    if (!address_.empty()) {
        environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + address_);
    }
    if (mockTree) {
        // The preload library shows the process the mock tree in place of /sys.
        environment.push_back("LD_PRELOAD=libumockdev-preload.so.0");
        environment.push_back("UMOCKDEV_DIR=" + root().string());
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const std::string log = (folder_.path / (name + ".log")).string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (addressPipe >= 0) {
        posix_spawn_file_actions_adddup2(&files, addressPipe, 3);
    }
    // Each process leads a group of its own, so that stopping it stops what it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, &attributes, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

void UsbGuardStack::stop(Process& process) {
    if (process.pid <= 0) {
        return;
    }
    ::kill(-process.pid, SIGTERM);
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (::waitpid(process.pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() >= until) {
            ::kill(-process.pid, SIGKILL);
            ::waitpid(process.pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Whatever else the group started goes too.
    ::kill(-process.pid, SIGKILL);
    process.pid = -1;
}

bool UsbGuardStack::waitForName(const char* name) {
    const auto until = Clock::now() + startLimit;
    const QDBusConnection connection = bus();
    while (Clock::now() < until) {
        const QDBusReply<bool> registered =
            connection.interface()->isServiceRegistered(QString::fromLatin1(name));
        if (registered.isValid() && registered.value()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool UsbGuardStack::waitForDevices(std::size_t count) {
    // The bridge answers once it has reached the daemon, and the daemon lists a device once it
    // has applied its policy to it.
    const auto until = Clock::now() + startLimit;
    const QDBusConnection connection = bus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.usbguard1"), QStringLiteral("/org/usbguard1/Devices"),
        QStringLiteral("org.usbguard.Devices1"), QStringLiteral("listDevices"));
    call << QStringLiteral("match");
    while (Clock::now() < until) {
        const QDBusMessage reply = connection.call(call, QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
            std::size_t listed = 0;
            list.beginArray();
            while (!list.atEnd()) {
                list.beginStructure();
                uint id = 0;
                QString rule;
                list >> id >> rule;
                list.endStructure();
                ++listed;
            }
            list.endArray();
            if (listed >= count) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace vantrel
