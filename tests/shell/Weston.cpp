#include "tests/shell/Weston.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// Waits for the child to end, at most `limit`, without reaping it (so that its process group id
// stays ours); true when it has ended.
bool ended(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid == pid) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

bool Weston::installed() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && ::access((folder + "/weston").c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

Weston::Weston() {
    std::string name = (std::filesystem::temp_directory_path() / "vantrel-wayland-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
        error_ = "no runtime folder";
        return;
    }
    folder_ = name;
    const std::filesystem::path log = folder_ / "weston.log";
    pid_ = ::fork();
    if (pid_ == 0) {
        // Its own process group, so that the clients it starts end with it.
        ::setpgid(0, 0);
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("DISPLAY");
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        const std::string socketArgument = std::string("--socket=") + socket;
        ::execlp("weston", "weston", "--backend=headless-backend.so", "--no-config",
                 "--idle-time=0", socketArgument.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        error_ = "fork failed";
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(folder_ / socket)) {
            ready_ = true;
            return;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    error_ = "weston did not open its socket within 10 s: " +
             text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
}

Weston::~Weston() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        ended(pid_, 5000ms);
        // Whatever of the group is left (weston itself or a client it started) ends now; weston
        // is reaped only after, so the group's id cannot have gone to anybody else.
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

} // namespace vantrel
