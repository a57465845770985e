// Helpers shared by the test suites: a scratch folder per test and a scoped environment
// variable.
#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace vantrel {

// A fresh folder for one test, removed with everything in it afterwards.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        static std::atomic<int> counter{0};
        path = std::filesystem::temp_directory_path() /
               ("vantrel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

// Sets or unsets an environment variable and puts the old value back afterwards.
struct EnvGuard {
    std::string name;
    std::optional<std::string> old;
    EnvGuard(const char* variable, const char* value) : name(variable) {
        if (const char* current = std::getenv(variable)) {
            old = current;
        }
        set(value);
    }
    ~EnvGuard() { set(old ? old->c_str() : nullptr); }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;
    void set(const char* value) const {
        if (value != nullptr) {
            ::setenv(name.c_str(), value, 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
};

} // namespace vantrel
