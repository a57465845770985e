#include "app/linux/KeystrokeGuard.h"

#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace vantrel {

namespace {

constexpr std::size_t recordSize = sizeof(input_event);
constexpr std::size_t recordsPerRead = 64;

// A key press: a key (not a button, whose codes start at BTN_MISC, 0x100) going down. KEY_RESERVED
// (0) is no key.
bool isPress(const input_event& event) {
    return event.type == EV_KEY && event.value == 1 && event.code >= 1 && event.code <= 255;
}

bool isEventName(std::string_view name) {
    constexpr std::string_view prefix = "event";
    return name.size() > prefix.size() && name.starts_with(prefix) &&
           name.find_first_not_of("0123456789", prefix.size()) == std::string_view::npos;
}

enum class Opening { granted, refused, absent };

// Whether this user may read the event device at `path`. A missing node says nothing either way.
Opening tryOpen(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return Opening::granted;
    }
    return errno == ENOENT || errno == ENOTDIR || errno == ENODEV ? Opening::absent
                                                                  : Opening::refused;
}

// Seconds on the monotonic clock, the one event devices are asked to stamp presses with.
double monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

Timestamp KeystrokeGuard::pressTime(const input_event& event, const Stamping& stamping) {
    const double stamp = static_cast<double>(event.input_event_sec) +
                         static_cast<double>(event.input_event_usec) / 1e6;
    // A monotonic stamp is dated back from the read; a node that kept the kernel's real-time
    // stamps gives the wall time itself.
    const Timestamp at = stamping.monotonic ? stamping.readAt - (stamping.monotonicReadAt - stamp)
                                            : Timestamp::fromUnix(stamp);
    // A stamp that cannot be right (after the read, or before the node was opened: a clock that
    // was set meanwhile, or a node that stamps nothing) gives way to the time of the read.
    constexpr double slack = 1.0;
    if (!(at <= stamping.readAt + slack && at >= stamping.openedAt - slack)) {
        return stamping.readAt;
    }
    return std::min(at, stamping.readAt);
}

KeystrokeGuard::KeystrokeGuard(const Clock& clock) : clock_(clock) {}

KeystrokeGuard::~KeystrokeGuard() {
    for (const Node& node : nodes_) {
        ::close(node.fd);
    }
}

bool KeystrokeGuard::checkAccess() {
    bool refused = false;
    for (const Scanner::KeyboardNode& keyboard : Scanner::keyboardNodes()) {
        for (const std::string& path : keyboard.eventPaths) {
            const Opening opening = tryOpen(HostFiles::path(path));
            if (opening == Opening::granted) {
                return true;
            }
            refused = refused || opening == Opening::refused;
        }
    }
    if (refused) {
        return false;
    }
    // No keyboard to try: any other event device has the same owner and mode.
    const std::string input = HostFiles::path("/dev/input");
    for (const HostFiles::Entry& entry : HostFiles::entries(input)) {
        if (isEventName(entry.name)) {
            const Opening opening = tryOpen(input + '/' + entry.name);
            if (opening == Opening::granted) {
                return true;
            }
            refused = refused || opening == Opening::refused;
        }
    }
    return !refused && ::access(input.c_str(), R_OK) == 0;
}

bool KeystrokeGuard::requestAccess() {
    return checkAccess();
}

void KeystrokeGuard::start() {
    if (running_ || !checkAccess()) {
        return;
    }
    running_ = true;
    rescan();
}

void KeystrokeGuard::stop() {
    const bool hadNodes = !nodes_.empty();
    while (!nodes_.empty()) {
        close(nodes_.size() - 1);
    }
    running_ = false;
    if (hadNodes) {
        changed();
    }
}

void KeystrokeGuard::rescan() {
    if (!running_) {
        return;
    }
    const std::vector<Scanner::KeyboardNode> keyboards = Scanner::keyboardNodes();
    std::map<std::string, const Scanner::KeyboardNode*> wanted;
    for (const Scanner::KeyboardNode& keyboard : keyboards) {
        for (const std::string& path : keyboard.eventPaths) {
            wanted.emplace(HostFiles::path(path), &keyboard);
        }
    }
    bool different = false;
    // A node whose keyboard went away, or whose number a new keyboard took, is closed.
    for (std::size_t index = nodes_.size(); index-- > 0;) {
        const auto found = wanted.find(nodes_[index].path);
        if (found == wanted.end() || found->second->registryID != nodes_[index].registryID) {
            close(index);
            different = true;
        }
    }
    for (const auto& [path, keyboard] : wanted) {
        bool opened = false;
        for (const Node& node : nodes_) {
            opened = opened || node.path == path;
        }
        if (opened) {
            continue;
        }
        // A node that cannot be opened now is tried again at the next rescan.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        Node node;
        node.path = path;
        node.fd = fd;
        node.serial = nextSerial_++;
        node.registryID = keyboard->registryID;
        node.name = keyboard->name;
        node.builtIn = keyboard->builtIn;
        // Presses are stamped on the monotonic clock, which no change of the wall clock moves.
        int clockID = CLOCK_MONOTONIC;
        node.monotonic = ::ioctl(fd, EVIOCSCLOCKID, &clockID) == 0;
        node.openedAt = clock_.now();
        // A keyboard seized before a stop is taken again when it is opened again.
        node.grabbed = seized_.contains(node.registryID) && ::ioctl(fd, EVIOCGRAB, 1) == 0;
        nodes_.push_back(std::move(node));
        different = true;
    }
    if (different) {
        changed();
    }
}

bool KeystrokeGuard::seize(std::uint64_t registryID) {
    std::vector<std::size_t> taken;
    bool found = false;
    bool failed = false;
    for (std::size_t index = 0; index < nodes_.size() && !failed; ++index) {
        Node& node = nodes_[index];
        if (node.registryID != registryID) {
            continue;
        }
        found = true;
        if (node.grabbed) {
            continue;
        }
        if (::ioctl(node.fd, EVIOCGRAB, 1) == 0) {
            node.grabbed = true;
            taken.push_back(index);
        } else {
            failed = true;
        }
    }
    if (!found || failed) {
        // All or nothing: the devices grabbed on the way are let go again.
        for (const std::size_t index : taken) {
            ::ioctl(nodes_[index].fd, EVIOCGRAB, 0);
            nodes_[index].grabbed = false;
        }
        return false;
    }
    seized_.insert(registryID);
    return true;
}

void KeystrokeGuard::setOnKeyDown(std::function<void(const Keyboard&, Timestamp)> handler) {
    onKeyDown_ = std::move(handler);
}

std::vector<int> KeystrokeGuard::descriptors() const {
    std::vector<int> fds;
    fds.reserve(nodes_.size());
    for (const Node& node : nodes_) {
        fds.push_back(node.fd);
    }
    return fds;
}

void KeystrokeGuard::setDescriptorsChanged(std::function<void()> callback) {
    descriptorsChanged_ = std::move(callback);
}

void KeystrokeGuard::readable(int fd) {
    for (const Node& node : nodes_) {
        if (node.fd == fd) {
            readable(fd, node.serial);
            return;
        }
    }
}

int KeystrokeGuard::pollOnce(int timeoutMs) {
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> serials;
    fds.reserve(nodes_.size());
    serials.reserve(nodes_.size());
    for (const Node& node : nodes_) {
        fds.push_back({node.fd, POLLIN, 0});
        serials.push_back(node.serial);
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
        return errno == EINTR ? 0 : -1;
    }
    int handled = 0;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        // The key-down handler may have closed or reopened nodes: a descriptor number taken by
        // another node since the poll is skipped.
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            readable(fds[i].fd, serials[i]);
            ++handled;
        }
    }
    return handled;
}

std::size_t KeystrokeGuard::find(int fd, std::uint64_t serial) const {
    for (std::size_t index = 0; index < nodes_.size(); ++index) {
        if (nodes_[index].fd == fd && nodes_[index].serial == serial) {
            return index;
        }
    }
    return none;
}

void KeystrokeGuard::readable(int fd, std::uint64_t serial) {
    std::array<unsigned char, recordsPerRead * recordSize> buffer{};
    for (int round = 0; round < readLimit; ++round) {
        std::size_t index = find(fd, serial);
        if (index == none) {
            return;
        }
        // The piece of an event left over from the last read goes first.
        const std::size_t kept = nodes_[index].partial.size();
        if (kept > 0) {
            std::memcpy(buffer.data(), nodes_[index].partial.data(), kept);
        }
        const ssize_t got = ::read(fd, buffer.data() + kept, buffer.size() - kept);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (got <= 0) {
            // The end of the device (ENODEV when a keyboard is pulled out) or of a pipe.
            close(index);
            changed();
            return;
        }
        const std::size_t total = kept + static_cast<std::size_t>(got);
        const std::size_t whole = total - total % recordSize;
        nodes_[index].partial.assign(buffer.begin() + static_cast<std::ptrdiff_t>(whole),
                                     buffer.begin() + static_cast<std::ptrdiff_t>(total));
        const Stamping stamping{nodes_[index].monotonic, clock_.now(), monotonicNow(),
                                nodes_[index].openedAt};
        for (std::size_t at = 0; at < whole; at += recordSize) {
            input_event event{};
            std::memcpy(&event, buffer.data() + at, recordSize);
            if (!isPress(event)) {
                continue;
            }
            press(nodes_[index], pressTime(event, stamping));
            // The handler may have stopped the watcher or seized or rescanned keyboards.
            index = find(fd, serial);
            if (index == none) {
                return;
            }
        }
    }
}

void KeystrokeGuard::press(const Node& node, Timestamp at) {
    auto found = keyboards_.find(node.registryID);
    if (found == keyboards_.end()) {
        Keyboard keyboard{node.registryID, node.name.empty() ? "Unknown keyboard" : node.name,
                          node.builtIn, at};
        found = keyboards_.emplace(node.registryID, std::move(keyboard)).first;
    }
    if (onKeyDown_) {
        onKeyDown_(found->second, at);
    }
}

void KeystrokeGuard::close(std::size_t index) {
    // Closing the descriptor also ends its grab.
    ::close(nodes_[index].fd);
    nodes_.erase(nodes_.begin() + static_cast<std::ptrdiff_t>(index));
}

void KeystrokeGuard::changed() const {
    if (descriptorsChanged_) {
        descriptorsChanged_();
    }
}

} // namespace vantrel
