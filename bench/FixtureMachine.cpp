// Writes the benchmarks' generated machine to a folder that outlives the program, for
// bench/idle.sh to run the application over: fixture_machine FOLDER [DEVICES] (default 20).
#include "bench/BenchMachine.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>

int main(int argc, char** argv) {
    int count = 20;
    if (argc == 3) {
        const std::string_view text(argv[2]);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size() || count < 1 || count > 1000) {
            count = 0;
        }
    }
    if ((argc != 2 && argc != 3) || count == 0) {
        std::cerr << "usage: fixture_machine FOLDER [DEVICES 1-1000]\n";
        return 2;
    }
    const std::filesystem::path target(argv[1]);
    vantrel::GeneratedMachine machine(count);
    vantrel::addDesktop(machine.tree);
    std::error_code error;
    std::filesystem::create_directories(target, error);
    // Links are copied as links: the tree's are relative, as the kernel's are.
    std::filesystem::copy(machine.tree.root(), target,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks |
                              std::filesystem::copy_options::overwrite_existing,
                          error);
    if (error) {
        std::cerr << "fixture_machine: cannot write " << target << ": " << error.message() << '\n';
        return 1;
    }
    return 0;
}
