#include "app/shell/SingleCopy.h"

#include "app/engine/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantrel {

fs::path SingleCopy::lockPath() {
    // The runtime folder belongs to the user alone and is emptied at log-out, so a lock file
    // left behind there never outlives the session.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && fs::path(runtime).is_absolute()) {
        return fs::path(runtime) / "Vantrel.lock";
    }
    return AtomicFile::userFile("XDG_CACHE_HOME", ".cache", "Vantrel.lock");
}

SingleCopy::SingleCopy() {
    const fs::path path = lockPath();
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        return;
    }
    // The lock belongs to the open file and so ends with the process, however it ends.
    int result = 0;
    do {
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        first_ = errno != EWOULDBLOCK;
    }
}

SingleCopy::~SingleCopy() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace vantrel
