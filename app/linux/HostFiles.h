// Reading the machine's files the way every Linux probe does: under $VANTREL_ROOT when it is
// set (a test's fixture tree), bounded in size, and with bytes that are not UTF-8 repaired.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::HostFiles {

// The largest attribute file a probe reads; anything longer is cut at this size.
inline constexpr std::size_t attributeLimit = 4096;

// Whether $VANTREL_ROOT is set and not empty: a fixture tree stands for the machine.
bool rooted();

// The user's configuration folder as the machine names it: $XDG_CONFIG_HOME, else ~/.config;
// none when neither is an absolute path. Not yet taken under $VANTREL_ROOT.
std::optional<std::string> configHome();

// `absolute` ("/sys/bus/usb/devices") under $VANTREL_ROOT when that is set and not empty. A
// plain string, as the scans join names to it many times a cycle.
std::string path(std::string_view absolute);

// The file's bytes, at most `limit` of them; none when it is missing, unreadable or not a
// regular file or sysfs attribute. Never blocks on a pipe or a device node.
std::optional<std::string> read(const std::string& file, std::size_t limit = attributeLimit);

// The same for `file` relative to the folder open as `folder` (O_PATH is enough).
std::optional<std::string> read(int folder, const char* file, std::size_t limit);

// `bytes` with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string repairedUTF8(std::string_view bytes);

// A sysfs text attribute: read, repaired, with one trailing line feed removed.
std::optional<std::string> attribute(const std::string& file);

// `attribute` in the fewest system calls, for scans that read many attributes: one open, one
// read and one close. A read of `attributeLimit` bytes returns a sysfs attribute whole (the
// kernel formats it into one page at once) and a regular file up to the limit, so no second read
// is made, and the file's type is not asked: anything else in its place is still opened
// non-blocking and read at most `attributeLimit` bytes, so it can neither hold nor flood the
// caller. None when the file is missing or cannot be read.
std::optional<std::string> quickAttribute(const char* file);
// The same for `file` relative to the folder open as `folder` (a descriptor, as openat takes
// it, O_PATH being enough), which spares looking up the folder's path again for every file.
std::optional<std::string> quickAttribute(int folder, const char* file);

// The bytes of an attribute read as quickAttribute reads it, into `buffer`, with one trailing
// line feed removed and nothing repaired: for text that is parsed (a uevent's numbers), never
// shown. None when the file is missing or cannot be read.
using Buffer = std::array<char, attributeLimit>;
std::optional<std::string_view> quickBytes(int folder, const char* file, Buffer& buffer);

// An attribute kept open from scan to scan and read again from its start, which has the kernel
// format a sysfs attribute afresh: one system call a read, and no path to look up. Once its device
// is gone, reads fail. Made by `keep`; closed when the last holder lets it go.
class KeptAttribute {
    // Only `keep` makes one (in one allocation with its count, through make_shared).
    struct Token {
        explicit Token() = default;
    };

  public:
    // `file` relative to the folder open as `folder`, as quickAttribute takes them; none when it
    // cannot be opened.
    static std::shared_ptr<const KeptAttribute> keep(int folder, const char* file);
    ~KeptAttribute();
    KeptAttribute(const KeptAttribute&) = delete;
    KeptAttribute& operator=(const KeptAttribute&) = delete;
    // The text as quickAttribute gives it now; none when it cannot be read.
    std::optional<std::string> read() const;

    KeptAttribute(Token, int fd) : fd_(fd) {}

  private:
    int fd_;
};

// The text of the symbolic link `link`, relative to the folder open as `folder` (AT_FDCWD for
// none); none when it is no link, is gone or is longer than a path can be.
std::optional<std::string> linkText(int folder, const char* link);

// The last component of `path` ("ttyUSB0" of "…/tty/ttyUSB0"); the whole of it when it has no '/'.
std::string_view lastName(std::string_view path);

// Whether `file` is a regular file (links followed) that this process may run.
bool executable(const std::string& file);

// Where the link text `target` found in `folder` leads, with "." and ".." taken lexically, which
// is how the kernel resolves it when no folder on the way is itself a link (true of the links of
// /sys/bus and /sys/class). An absolute target stands on its own.
std::string resolved(std::string_view folder, std::string_view target);

// "value" of the line "KEY=value" in the text of a sysfs `uevent` file; none when no line has
// that key. The first such line wins.
std::optional<std::string_view> ueventValue(std::string_view uevent, std::string_view key);

// One entry of a folder, with its type as the folder reports it; a symbolic link is a `link`
// whatever it points at.
struct Entry {
    enum Kind : std::uint8_t { file, folder, link, other };
    std::string name;
    Kind kind = other;
    std::uint64_t inode = 0; // of the entry itself: a link made again gets another
};

// The largest number of entries `entries` gives for one folder.
inline constexpr std::size_t entryLimit = 4096;

// The entries of `folder` without "." and "..", in the order the file system gives them, at
// most `entryLimit`; none when it cannot be opened. Links are not followed.
std::vector<Entry> entries(const std::string& folder);
// The same for the folder open (not as O_PATH) as `folder`, read from where the descriptor stands,
// which stays open for lookups relative to it.
std::vector<Entry> entries(int folder);

// How many files `read` has opened in this process so far. The benchmarks count a scan's opens
// with it.
std::uint64_t opens();

} // namespace vantrel::HostFiles
