// The keyboard watcher over the kernel's event devices (/dev/input/eventN, under $VANTREL_ROOT
// when that is set). It reads every key press of every keyboard, names the keyboard at its first
// press and takes a keyboard for exclusive use on request.
//
// It starts no thread and never blocks: the main loop watches descriptors() for reading and calls
// readable() for each one that is ready; the key-down handler runs inside that call. Whenever the
// set of descriptors changes the descriptors-changed callback runs, so the loop can rebuild its
// watchers. A loop without its own poller can call pollOnce() instead.
//
// Keyboards come and go while the watcher runs: the application calls rescan() on every
// device-change event, which opens the event devices of new keyboards and closes those of
// keyboards that went away. A node that reports its end (the keyboard was pulled out) is closed
// by readable() at once.
//
// Access: reading event devices needs root or the `input` group, and no prompt can grant it, so
// requestAccess() only checks again. checkAccess() tries to open the keyboards' event devices
// for reading and is granted when any one of them opens. With no keyboard at all it tries any
// other event device the same way, and with no event device at all it settles for /dev/input
// being readable: then nothing better can be known until a keyboard arrives.
#pragma once

#include "app/engine/Seams.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <linux/input.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vantrel {

class KeystrokeGuard final : public KeyboardWatcher {
  public:
    // `clock` gives each keyboard's firstSeen and must outlive the watcher.
    explicit KeystrokeGuard(const Clock& clock);
    ~KeystrokeGuard() override;
    KeystrokeGuard(const KeystrokeGuard&) = delete;
    KeystrokeGuard& operator=(const KeystrokeGuard&) = delete;

    bool checkAccess() override;
    bool requestAccess() override;
    // Opens every keyboard's event devices when access is granted and the watcher is not running
    // yet. The watcher then runs even when no keyboard is attached, so that keyboards plugged in
    // later are watched as they come.
    void start() override;
    // Closes every event device, which also ends every exclusive grab. The keyboards heard so far
    // stay known, and seized keyboards are grabbed again when start() reopens them.
    void stop() override;
    bool running() const override { return running_; }
    // Grabs every open event device of that keyboard (EVIOCGRAB), so that its keys reach nobody
    // else for as long as the device stays open. False, with nothing grabbed or recorded, when the
    // watcher is not running, no open device belongs to that keyboard, or a grab fails.
    bool seize(std::uint64_t registryID) override;
    // Each press goes to the handler with the time the kernel stamped it.
    void setOnKeyDown(std::function<void(const Keyboard&, Timestamp)> handler) override;

    // Opens the event devices of keyboards that appeared since the last look and closes those of
    // keyboards that went away. Does nothing while the watcher is stopped.
    void rescan();

    // The open event devices' descriptors, to watch for reading.
    std::vector<int> descriptors() const;
    // Runs after every change of descriptors(), on the thread that made it (possibly from inside
    // readable() or rescan()). The callback must not destroy the watcher.
    void setDescriptorsChanged(std::function<void()> callback);
    // Takes every pending input event of `fd` without waiting and hands each key press to the
    // key-down handler: an EV_KEY event with a key code from 1 to 255 and the value 1. Releases
    // (0), auto-repeats (2) and buttons (codes from 256 on) are not presses. The end of the device
    // or a read error closes it. Reads at most `readLimit` times per call, so that a flood cannot
    // hold up the main loop; what is left keeps the descriptor readable. Unknown descriptors are
    // ignored.
    void readable(int fd);
    static constexpr int readLimit = 64;
    // Waits up to `timeoutMs` (-1: without limit) for any descriptor to become readable and
    // handles every ready one. The number of descriptors handled, or -1 when poll() failed.
    int pollOnce(int timeoutMs);

    // Every keyboard that has pressed a key since the watcher was made, by registry id, as it was
    // at its first press.
    const std::map<std::uint64_t, Keyboard>& keyboards() const { return keyboards_; }
    // The keyboards seize() took, by registry id.
    const std::set<std::uint64_t>& seized() const { return seized_; }

    // How the presses of one read are dated: whether the node stamps on the monotonic clock,
    // the wall time and the monotonic time of the read, and when the node was opened.
    struct Stamping {
        bool monotonic = false;
        Timestamp readAt;
        double monotonicReadAt = 0;
        Timestamp openedAt;
    };
    // The wall time a key went down by the event's own stamp, or the time of the read when the
    // stamp cannot be right (later than the read, or before the node was opened).
    static Timestamp pressTime(const input_event& event, const Stamping& stamping);

  private:
    // One open event device of one keyboard.
    struct Node {
        std::string path; // under $VANTREL_ROOT
        int fd = -1;
        std::uint64_t serial = 0; // tells apart nodes that reuse one descriptor number
        std::uint64_t registryID = 0;
        std::string name;
        bool builtIn = false;
        bool grabbed = false;
        bool monotonic = false; // presses stamped on the monotonic clock (EVIOCSCLOCKID)
        Timestamp openedAt;
        std::vector<unsigned char> partial; // the start of an event a read cut in two
    };

    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t find(int fd, std::uint64_t serial) const;
    void readable(int fd, std::uint64_t serial);
    void close(std::size_t index);
    void changed() const;
    void press(const Node& node, Timestamp at);

    const Clock& clock_;
    std::function<void(const Keyboard&, Timestamp)> onKeyDown_;
    std::function<void()> descriptorsChanged_;
    bool running_ = false;
    std::vector<Node> nodes_;
    std::uint64_t nextSerial_ = 1;
    std::map<std::uint64_t, Keyboard> keyboards_;
    std::set<std::uint64_t> seized_;
};

} // namespace vantrel
