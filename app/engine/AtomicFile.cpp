#include "app/engine/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace vantrel::AtomicFile {
namespace {

// A fuzz build writes scratch files thousands of times a second and flushes none of them.
#ifdef VANTREL_FUZZING
constexpr bool flushes = false;
#else
constexpr bool flushes = true;
#endif

// Writes all of `bytes`, going on after interruptions and short writes.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes, flushes the data of and closes `fd`: 0, or the errno of the first of the three that
// failed (it is closed either way).
int finish(int fd, std::string_view bytes) {
    const int written = writeAll(fd, bytes) && (!flushes || ::fdatasync(fd) == 0) ? 0 : errno;
    const int closed = ::close(fd) == 0 ? 0 : errno;
    return written != 0 ? written : closed;
}

// Makes a rename or a new name in `folder` durable. Some file systems refuse, which is harmless.
void syncFolder(const fs::path& folder) {
    if (!flushes) {
        return;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// "20261209T101500" for the local time `when`.
std::string localStamp(std::time_t when) {
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&when, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &local) == 0) {
        return "00000000T000000";
    }
    return text;
}

// Renames `from` to `to` unless something is at `to`: 0, or the errno (EEXIST when taken).
int renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without RENAME_NOREPLACE: a second name, then the first one removed.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

// Copies `bytes` to the new file `to`: 0, or the errno (EEXIST when taken).
int copyWithoutReplacing(std::string_view bytes, const fs::path& to) {
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    const int failure = finish(fd, bytes);
    if (failure != 0) {
        ::unlink(to.c_str());
    }
    return failure;
}

// The random part mkostemp puts in place of "XXXXXX".
bool temporarySuffix(std::string_view text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

} // namespace

bool write(const fs::path& file, std::string_view bytes) {
    std::error_code ignored;
    return write(file, bytes, ignored);
}

bool write(const fs::path& file, std::string_view bytes, std::error_code& error) {
    error.clear();
    if (!file.has_filename()) {
        error = std::make_error_code(std::errc::is_a_directory);
        return false;
    }
    const fs::path target = resolved(file);
    const fs::path folder = folderOf(target);
    fs::create_directories(folder, error);
    if (error) {
        return false;
    }
    std::string temporary = (folder / (target.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    // The data reaches the disk before the rename, so the file is always either the old one or
    // the new one, whole; the folder after it, so that the rename itself survives a power loss
    // (without that the old file could come back, undoing the change).
    int failure = finish(fd, bytes);
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error.assign(failure, std::generic_category());
        return false;
    }
    syncFolder(folder);
    return true;
}

std::optional<std::string> read(const fs::path& file, std::size_t limit) {
    // Non-blocking so that a pipe at this path cannot hang the caller; it is refused below.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        ::close(fd);
        return std::nullopt;
    }
    // The size is only a hint, as the file may change while it is read: enough room for a
    // usual file at once, and never more than the limit.
    constexpr std::size_t hint = std::size_t{16} << 20;
    std::string bytes;
    bytes.reserve(std::min({static_cast<std::size_t>(info.st_size), limit, hint}));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > limit - bytes.size()) {
            ::close(fd);
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

std::optional<fs::path> keepAside(const fs::path& file, std::size_t copyLimit, std::time_t when) {
    const fs::path target = resolved(file);
    struct stat info {};
    if (!target.has_filename() || ::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    const bool move = static_cast<std::uintmax_t>(info.st_size) > copyLimit;
    std::optional<std::string> bytes;
    if (!move && !(bytes = read(target, copyLimit))) {
        return std::nullopt;
    }
    const std::string base = target.string() + ".unreadable-" + localStamp(when);
    // Bounded, so that a folder full of earlier copies cannot keep us here for long.
    for (int copy = 1; copy <= 1000; ++copy) {
        const fs::path aside = copy == 1 ? base : base + "-" + std::to_string(copy);
        const int failure =
            move ? renameWithoutReplacing(target, aside) : copyWithoutReplacing(*bytes, aside);
        if (failure == EEXIST) {
            continue;
        }
        if (failure != 0) {
            return std::nullopt;
        }
        syncFolder(folderOf(target));
        return aside;
    }
    return std::nullopt;
}

bool keepAsideBeforeReplacing(const fs::path& file, std::size_t copyLimit) {
    return keepAside(file, copyLimit).has_value() || !present(file);
}

fs::path resolved(const fs::path& file) {
    fs::path target = file;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) {
            return target;
        }
        const fs::path next = fs::read_symlink(target, error);
        if (error) {
            return target;
        }
        target = next.is_absolute() ? next : folderOf(target) / next;
    }
    return target;
}

void removeStaleTemporaries(const fs::path& file) {
    if (!file.has_filename()) {
        return;
    }
    const fs::path target = resolved(file);
    const std::string prefix = target.filename().string() + ".tmp-";
    std::error_code error;
    for (fs::directory_iterator it(folderOf(target), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.starts_with(prefix) &&
            temporarySuffix(std::string_view(name).substr(prefix.size())) &&
            it->symlink_status(ignored).type() == fs::file_type::regular) {
            fs::remove(it->path(), ignored);
        }
    }
}

bool present(const fs::path& file) {
    std::error_code error;
    return fs::status(file, error).type() != fs::file_type::not_found;
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

fs::path userFile(const char* variable, const fs::path& underHome, const fs::path& leaf) {
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
        if (fs::path base{value}; base.is_absolute()) {
            return base / "Vantrel" / leaf;
        }
    }
    return homeFolder() / underHome / "Vantrel" / leaf;
}

} // namespace vantrel::AtomicFile
