#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

#include <unicode/utf8.h>

namespace fs = std::filesystem;

namespace vantrel::fuzz {
namespace {

// The scratch folder, removed again when the process exits normally (as libFuzzer does at the
// end of a run, and the corpus replay after its last file).
struct Scratch {
    fs::path path;
    Scratch() {
        path = fs::temp_directory_path() / ("vantrel-fuzz-" + std::to_string(::getpid()));
        emptyFolder(path);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

} // namespace

const fs::path& scratch() {
    static const Scratch folder;
    return folder.path;
}

void emptyFolder(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    require(!error, "the scratch folder can be made");
}

void writeFile(const fs::path& file, std::string_view bytes) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    require(!error && out.good(), "a scratch file can be written");
}

std::filesystem::path freshFile(std::string_view folder, std::string_view leaf,
                                std::string_view bytes) {
    const auto path = scratch() / folder;
    emptyFolder(path);
    const auto file = path / leaf;
    writeFile(file, bytes);
    return file;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> filesNamed(const fs::path& folder, std::string_view part) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().filename().string().find(part) != std::string::npos) {
            found.push_back(entry.path());
        }
    }
    return found;
}

std::optional<std::vector<std::int32_t>> codePoints(std::string_view text) {
    std::vector<std::int32_t> points;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t at = 0; at < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, at, length, c);
        if (c < 0) {
            return std::nullopt;
        }
        points.push_back(c);
    }
    return points;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

} // namespace vantrel::fuzz
