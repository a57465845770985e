// One copy of the tray application per user: the first copy holds an exclusive lock on
// $XDG_RUNTIME_DIR/Vantrel.lock (the cache folder when there is no runtime folder) until it ends.
#pragma once

#include <filesystem>

namespace vantrel {

class SingleCopy {
  public:
    // Takes the lock without waiting.
    SingleCopy();
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    // False when another copy of this user holds the lock. When the lock file cannot be made at
    // all this copy runs: guarding matters more than the rare second copy.
    bool first() const { return first_; }

    static std::filesystem::path lockPath();

  private:
    int fd_ = -1;
    bool first_ = true;
};

} // namespace vantrel
