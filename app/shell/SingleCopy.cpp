#include "app/shell/SingleCopy.h"

#include "app/engine/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace vantrel {
namespace {

// Locks `fd` without waiting; false only when someone else holds the lock. The lock belongs to
// the open file and so ends with the process, however it ends.
bool lockUnlessTaken(int fd) {
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno != EWOULDBLOCK;
}

} // namespace

fs::path SingleCopy::lockPath() {
    // The runtime folder belongs to the user alone and is emptied at log-out, so a lock file
    // left behind there never outlives the session.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && fs::path(runtime).is_absolute()) {
        return fs::path(runtime) / "Vantrel.lock";
    }
    return AtomicFile::userFile("XDG_CACHE_HOME", ".cache", "Vantrel.lock");
}

SingleCopy::SingleCopy(const std::vector<fs::path>& files) {
    const fs::path path = lockPath();
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    if (const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        fd >= 0) {
        held_.push_back(fd);
        first_ = lockUnlessTaken(fd);
    }
    // Copies with different runtime folders share their files when they share a home: the
    // folders holding them are locked too, in the order given, each once (two locks of one
    // folder would stand in each other's way).
    std::vector<std::pair<dev_t, ino_t>> folders;
    for (const fs::path& file : files) {
        if (!first_) {
            return;
        }
        const fs::path folder = AtomicFile::resolved(file).parent_path();
        fs::create_directories(folder, ignored);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 ||
            std::find(folders.begin(), folders.end(), std::pair(info.st_dev, info.st_ino)) !=
                folders.end()) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;
        }
        folders.emplace_back(info.st_dev, info.st_ino);
        held_.push_back(fd);
        first_ = lockUnlessTaken(fd);
    }
}

SingleCopy::~SingleCopy() {
    for (const int fd : held_) {
        ::close(fd);
    }
}

} // namespace vantrel
