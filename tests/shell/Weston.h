// A headless Wayland compositor for one test: weston's headless backend on a socket in a private
// runtime folder, ended (with every client it started) and removed with the object.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace vantrel {

class Weston {
  public:
    static constexpr const char* socket = "vantrel-test";

    // Starts weston and waits at most 10 s for its socket; see ready() and error().
    Weston();
    // Ends weston's process group, at most 5 s politely, then by force.
    ~Weston();
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    // Whether a weston program is on the PATH at all.
    static bool installed();
    bool ready() const { return ready_; }
    // Why it is not ready, with the end of weston's log.
    const std::string& error() const { return error_; }
    // The folder to give the clients as XDG_RUNTIME_DIR.
    const std::filesystem::path& runtimeFolder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string error_;
};

} // namespace vantrel
