#include "app/linux/HostFiles.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::HostFiles {
namespace {

std::atomic<std::uint64_t> openCount{0};

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Reads up to `limit` bytes of an open descriptor, going on after interruptions and short reads,
// and stopping once `size` bytes are in when `size` (the file's size as stat gave it) is not 0.
// A descriptor that would block counts as ended.
std::optional<std::string> readAll(int fd, std::size_t limit, std::size_t size) {
    // Read a page at a time into a buffer on the stack, so that a small file (nearly every one)
    // costs one allocation of its own size.
    std::string bytes;
    std::array<char, 4096> chunk;
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), limit - bytes.size()));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                break;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
        // A file whose size is known is whole once that much is read (procfs and sysfs files
        // give no size, or one that says nothing, and are read to their end).
        if (size != 0 && bytes.size() == size) {
            break;
        }
    }
    return bytes;
}

} // namespace

bool rooted() {
    const char* root = std::getenv("VANTREL_ROOT");
    return root != nullptr && *root != '\0';
}

std::optional<std::string> configHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return std::string(config);
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') {
        return std::string(home) + "/.config";
    }
    return std::nullopt;
}

std::string_view lastName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool executable(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(file.c_str(), X_OK) == 0;
}

std::string path(std::string_view absolute) {
    if (!rooted()) {
        return std::string(absolute);
    }
    std::string joined(std::getenv("VANTREL_ROOT"));
    while (joined.size() > 1 && joined.back() == '/') {
        joined.pop_back();
    }
    if (!absolute.empty() && absolute.front() != '/') {
        joined += '/';
    }
    joined += absolute;
    return joined;
}

std::optional<std::string> read(const std::string& file, std::size_t limit) {
    return read(AT_FDCWD, file.c_str(), limit);
}

std::optional<std::string> read(int folder, const char* file, std::size_t limit) {
    // Non-blocking, so that a FIFO put where an attribute should be cannot hold the caller; the
    // type check below then refuses it (and every device node) before anything is read.
    const int fd = ::openat(folder, file, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    openCount.fetch_add(1, std::memory_order_relaxed);
    struct stat info {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes = readAll(fd, limit, static_cast<std::size_t>(info.st_size));
    }
    ::close(fd);
    return bytes;
}

std::string repairedUTF8(std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    // Runs of ASCII, which is what nearly every attribute is, are taken whole.
    const auto asciiRun = [&](std::size_t from) {
        while (from < size && b[from] < 0x80) {
            ++from;
        }
        return from;
    };
    std::size_t i = asciiRun(0);
    std::string out(bytes.substr(0, i));
    if (i == size) {
        return out;
    }
    out.reserve(size + replacement.size());
    while (i < size) {
        const unsigned char lead = b[i];
        if (lead < 0x80) {
            const std::size_t end = asciiRun(i);
            out.append(bytes.substr(i, end - i));
            i = end;
            continue;
        }
        // The length of the sequence and the range its second byte must fall in; the narrower
        // ranges rule out overlong forms, surrogates and code points above U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        // Each maximal prefix of a well-formed sequence becomes one U+FFFD, so the bytes after a
        // broken sequence are read afresh.
        std::size_t next = i + 1;
        if (length != 0 && next < size && b[next] >= low && b[next] <= high) {
            ++next;
            while (next < i + length && next < size && isContinuation(b[next])) {
                ++next;
            }
        }
        if (length != 0 && next == i + length) {
            out.append(bytes.substr(i, length));
        } else {
            out += replacement;
        }
        i = next;
    }
    return out;
}

std::optional<std::string> attribute(const std::string& file) {
    auto bytes = read(file);
    if (!bytes) {
        return std::nullopt;
    }
    if (!bytes->empty() && bytes->back() == '\n') {
        bytes->pop_back();
    }
    return repairedUTF8(*bytes);
}

std::optional<std::string> quickAttribute(const char* file) {
    return quickAttribute(AT_FDCWD, file);
}

namespace {

// An attribute's bytes from a read of at most `attributeLimit` bytes into `buffer` that gave `n`
// (failing with `error`).
std::optional<std::string_view> attributeBytes(const char* buffer, ssize_t n, int error) {
    // A FIFO or a device with nothing to give says so instead of waiting: that is an empty text.
    if (n < 0 && error != EAGAIN && error != EWOULDBLOCK) {
        return std::nullopt;
    }
    std::size_t used = n < 0 ? 0 : static_cast<std::size_t>(n);
    if (used > 0 && buffer[used - 1] == '\n') {
        --used;
    }
    return std::string_view(buffer, used);
}

std::optional<std::string> repaired(std::optional<std::string_view> bytes) {
    return bytes ? std::optional(repairedUTF8(*bytes)) : std::nullopt;
}

} // namespace

std::optional<std::string_view> quickBytes(int folder, const char* file, Buffer& buffer) {
    const int fd = ::openat(folder, file, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    openCount.fetch_add(1, std::memory_order_relaxed);
    ssize_t n = 0;
    do {
        n = ::read(fd, buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    const int error = n < 0 ? errno : 0;
    ::close(fd);
    return attributeBytes(buffer.data(), n, error);
}

std::optional<std::string> quickAttribute(int folder, const char* file) {
    Buffer buffer;
    return repaired(quickBytes(folder, file, buffer));
}

std::shared_ptr<const KeptAttribute> KeptAttribute::keep(int folder, const char* file) {
    const int fd = ::openat(folder, file, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    openCount.fetch_add(1, std::memory_order_relaxed);
    return std::make_shared<const KeptAttribute>(Token{}, fd);
}

KeptAttribute::~KeptAttribute() {
    ::close(fd_);
}

std::optional<std::string> KeptAttribute::read() const {
    Buffer buffer;
    ssize_t n = 0;
    do {
        n = ::pread(fd_, buffer.data(), buffer.size(), 0);
    } while (n < 0 && errno == EINTR);
    return repaired(attributeBytes(buffer.data(), n, n < 0 ? errno : 0));
}

std::optional<std::string> linkText(int folder, const char* link) {
    char text[4096];
    const ssize_t n = ::readlinkat(folder, link, text, sizeof text);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof text) {
        return std::nullopt;
    }
    return std::string(text, static_cast<std::size_t>(n));
}

std::string resolved(std::string_view folder, std::string_view target) {
    const auto lastName = [](std::string_view path) {
        const std::size_t slash = path.rfind('/');
        return slash == std::string_view::npos ? path : path.substr(slash + 1);
    };
    const bool absolute = target.starts_with('/') || folder.starts_with('/');
    std::string out = absolute ? "/" : "";
    const auto add = [&](std::string_view text) {
        while (!text.empty()) {
            const std::size_t slash = text.find('/');
            const std::string_view part = text.substr(0, slash);
            text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
            if (part.empty() || part == ".") {
                continue;
            }
            if (part == ".." && out != "/" && !out.empty() && lastName(out) != "..") {
                const std::size_t last = out.rfind('/');
                out.resize(last == std::string::npos ? 0 : std::max<std::size_t>(last, 1));
                continue;
            }
            if (part == ".." && absolute) {
                continue; // above the root is the root
            }
            if (!out.empty() && out != "/") {
                out += '/';
            }
            out += part;
        }
    };
    if (!target.starts_with('/')) {
        add(folder);
    }
    add(target);
    return out;
}

std::optional<std::string_view> ueventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const std::size_t end = uevent.find('\n');
        std::string_view line = uevent.substr(0, end);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=') {
            return line.substr(key.size() + 1);
        }
        if (end == std::string_view::npos) {
            break;
        }
        uevent.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::vector<Entry> entries(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    auto found = entries(fd);
    ::close(fd);
    return found;
}

std::vector<Entry> entries(int fd) {
    std::vector<Entry> found;
    // The folder's records are read straight from the kernel, a buffer at a time: a directory
    // stream would first ask for the folder's type and flags again, three calls per listing.
    alignas(dirent64) char buffer[32768];
    while (found.size() < entryLimit) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        const auto size = static_cast<std::size_t>(n);
        // A record takes at least 24 bytes, so this is room enough for the whole buffer's.
        found.reserve(std::min(entryLimit, found.size() + size / 24));
        for (std::size_t at = 0; at < size && found.size() < entryLimit;) {
            // Each record is a dirent64 whose length says where the next one starts.
            dirent64 header{};
            const std::size_t fixed = offsetof(dirent64, d_name);
            if (size - at < fixed) {
                break;
            }
            std::memcpy(&header, buffer + at, fixed);
            if (header.d_reclen <= fixed || header.d_reclen > size - at) {
                break;
            }
            const char* text = buffer + at + fixed;
            const std::string_view name(text, ::strnlen(text, header.d_reclen - fixed));
            at += header.d_reclen;
            if (name.empty() || name == "." || name == "..") {
                continue;
            }
            unsigned char type = header.d_type;
            if (type == DT_UNKNOWN) {
                const std::string copy(name);
                struct stat info {};
                if (::fstatat(fd, copy.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                    type = S_ISLNK(info.st_mode)   ? DT_LNK
                           : S_ISDIR(info.st_mode) ? DT_DIR
                           : S_ISREG(info.st_mode) ? DT_REG
                                                   : DT_UNKNOWN;
                }
            }
            const Entry::Kind kind = type == DT_REG   ? Entry::file
                                     : type == DT_DIR ? Entry::folder
                                     : type == DT_LNK ? Entry::link
                                                      : Entry::other;
            found.push_back(Entry{std::string(name), kind, header.d_ino});
        }
    }
    return found;
}

std::uint64_t opens() {
    return openCount.load(std::memory_order_relaxed);
}

} // namespace vantrel::HostFiles
