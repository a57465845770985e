#include "app/engine/AtomicFile.h"

#include <cerrno>
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

// "20261209T101500" for the local time now.
std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &local) == 0) {
        return "00000000T000000";
    }
    return text;
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
    const fs::path folder = folderOf(file);
    fs::create_directories(folder, error);
    if (error) {
        return false;
    }
    std::string temporary = (folder / (file.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    // The data reaches the disk before the rename, so the file is always either the old one or
    // the new one, whole. The folder is not flushed after the rename: should the machine lose
    // power right then, the old file is what comes back, intact.
    int failure = finish(fd, bytes);
    if (failure == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error.assign(failure, std::generic_category());
        return false;
    }
    return true;
}

std::optional<std::string> read(const fs::path& file) {
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
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
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
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

std::optional<fs::path> keepAside(const fs::path& file) {
    const auto bytes = read(file);
    if (!bytes) {
        return std::nullopt;
    }
    const std::string base = file.string() + ".unreadable-" + localStamp();
    // Bounded, so that a folder full of earlier copies cannot keep us here for long.
    for (int copy = 1; copy <= 1000; ++copy) {
        const fs::path aside = copy == 1 ? base : base + "-" + std::to_string(copy);
        const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return std::nullopt;
        }
        if (finish(fd, *bytes) != 0) {
            ::unlink(aside.c_str());
            return std::nullopt;
        }
        syncFolder(folderOf(file));
        return aside;
    }
    return std::nullopt;
}

bool keepAsideBeforeReplacing(const fs::path& file) {
    return keepAside(file).has_value() || !present(file);
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
